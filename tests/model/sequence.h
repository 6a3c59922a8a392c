// Random operation sequences over several tables of every key type and
// both key modes: duplicates and misses, every selector including values
// outside the six, invalid and freed ids, null buffers, frees and
// re-creation, overwrites that break the order, trace level changes,
// refused sizes and failing memory service calls. Every operation goes
// through a Harness, which compares the library with the model.
#ifndef MORVANE_TESTS_MODEL_SEQUENCE_H
#define MORVANE_TESTS_MODEL_SEQUENCE_H

#include "harness.h"
#include "source.h"

class Sequence {
public:
    Sequence(Source &source, Harness &harness) : s_(source), h_(harness) {}

    // Draws and runs one step: a single operation, or a short burst of
    // insertions, deletions or cursor moves on one table.
    void step();

private:
    int some_table();
    int live_table();
    int selector();
    int key_bytes(int tabid) const;
    model::Bytes record_for(int tabid);
    model::Bytes *maybe_null(model::Bytes &b);
    void maybe_fail_memory(int id);

    void create_table();
    void create_refused_table();
    void add();
    void burst_add();
    void drain();
    void cursor_run();

    Source &s_;
    Harness &h_;
    unsigned stamp_ = 0;  // makes every record's payload distinct
};

// The comparisons of the KEY_USER tables of the sequences: the first two
// bytes as an unsigned number in descending order, and the low three bits
// of the first byte (many equal keys).
int compare_desc16(const void *record, const void *key);
int compare_low3(const void *record, const void *key);

#endif
