// Memory-failure runs of an operation script. Every operation that can call
// the memory service (tableNew, tableAdd) is run with its 1st, 2nd, ...
// memory call failing, one after the other, until a run makes fewer calls
// than the one planned to fail: that run has gone through with memory
// available. After every failed run the documented outcome is checked: the
// failure result and code 2, every table's records, used, allcd and cur as
// before (for tableAdd, cur is the insertion point its search left), no
// block or byte kept beyond the registry a failed tableNew may have made
// or grown; and the operation is then retried.
//
// Retrying in the same process stands for a fresh process failing that
// call: a failed run is checked to leave the tables as they were, and what
// it may leave (the registry, `defsUsed`, a moved `cur` of the table added
// to) is what the same operation would find in a fresh process after the
// same failure, and does not change which slot or insertion point the retry
// chooses.
#ifndef MORVANE_TESTS_MODEL_OOM_SCRIPT_H
#define MORVANE_TESTS_MODEL_OOM_SCRIPT_H

#include <cstdint>
#include <map>
#include <vector>

#include "model.h"

class OomScript {
public:
    // tableNew through all its failure points; returns the id it made.
    int create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc);
    // tableAdd of a record whose key the table accepts.
    void add(int tabid, const model::Bytes &rec);
    // tableFree (which calls no memory service).
    void free(int tabid);
    // Frees every table of the script.
    void free_all();

    long points() const { return points_; }  // failed memory calls checked
    long growths() const { return growths_; }  // storage growths made

private:
    struct Observed {
        model::Dump dump;
        std::vector<model::Bytes> records;
    };
    static Observed observe_table(int tabid);
    void expect_tables_unchanged(int added_to, int *insertion_point) const;
    int lowest_free_id() const;

    std::map<int, Observed> tables_;  // the library's tables as last seen
    bool registry_ = false;
    long points_ = 0;
    long growths_ = 0;
};

// An 8-byte record: a 4-byte integer key, then a 4-byte payload.
model::Bytes int_record(int key, int payload);

#endif
