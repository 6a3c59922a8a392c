// A reference model of the library for the tests: the same sixteen
// operations over plain containers. Each table keeps its records as a vector
// of byte strings in stored order; the registry is a vector of slots. The key
// search repeats the library's documented binary search probe for probe, so
// that in a run of equal keys it lands on the same record.
//
// What the model leaves out: trace text (the level is kept, and has no
// effect), the registry's own byte count (it would only overflow with tens of
// millions of tables), and the bytes tablePrev copies from an empty table.
#ifndef MORVANE_TESTS_MODEL_MODEL_H
#define MORVANE_TESTS_MODEL_MODEL_H

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace model {

using Bytes = std::string;

// One registry slot: a table, a freed table (live false, fields kept) or a
// slot never used (all zero).
struct Table {
    bool live = false;
    int rsiz = 0;
    int ktyp = 0;
    int kmod = 0;
    std::intptr_t ftyp = 0;
    int allcd = 0;
    int rinc = 0;
    int cur = 0;
    std::vector<Bytes> recs;  // records in stored order; `used` is their count

    int used() const { return static_cast<int>(recs.size()); }
};

// The nine dumped fields, `tptr` reduced to null or not.
struct Dump {
    bool tptr = false;
    int rsiz = 0, ktyp = 0, kmod = 0;
    std::intptr_t ftyp = 0;
    int allcd = 0, rinc = 0, used = 0, cur = 0;

    bool operator==(const Dump &o) const {
        return tptr == o.tptr && rsiz == o.rsiz && ktyp == o.ktyp && kmod == o.kmod &&
               ftyp == o.ftyp && allcd == o.allcd && rinc == o.rinc && used == o.used &&
               cur == o.cur;
    }
    bool operator!=(const Dump &o) const { return !(*this == o); }
    std::string text() const;
};

// Lets test failure messages show a dump as its fields.
void PrintTo(const Dump &d, std::ostream *os);

class Model {
public:
    // Asked once for every call the library makes to the memory service;
    // false makes that call fail. Absent: every call succeeds.
    std::function<bool()> grant;

    int tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc);
    int tableFree(int tabid);
    int tableCount(int tabid);
    int tableErr(int err);
    void tableSetDebug(int level) { level_ = level; }
    Dump tablePrint(int tabid) const;

    int tableAdd(int tabid, const void *rptr);
    int tableSet(int tabid, const void *rptr);
    int tableGet(int tabid, int recid, void *rptr);
    int tableSeek(int tabid, int recid, const void *rptr);
    int tableDel(int tabid, int recid, const void *rptr);

    int tableNext(int tabid, void *rptr);
    int tablePrev(int tabid, void *rptr);
    int tableUpdate(int tabid, const void *rptr);
    int tableAtStart(int tabid);
    int tableAtEnd(int tabid);

    // Inspection, no effect on the state.
    int code() const { return code_; }
    int level() const { return level_; }
    int defs_allocd() const { return static_cast<int>(slots_.size()); }
    int defs_used() const { return defs_used_; }
    bool has_registry() const { return !slots_.empty(); }
    bool is_live(int tabid) const;
    const Table &slot(int tabid) const { return slots_.at(static_cast<std::size_t>(tabid)); }
    std::vector<int> live_ids() const;
    long live_blocks() const;  // the registry plus one storage block per table
    // True when the last tablePrev copied from an empty table: the buffer
    // then holds bytes that are no record.
    bool prev_copied_nothing() const { return prev_copied_nothing_; }

private:
    bool good_table(int tabid);
    bool memory();
    bool find_record(Table &t, int recid, const unsigned char *key);
    bool add_record(Table &t);
    static void delete_record(Table &t);

    std::vector<Table> slots_;  // size is defsAllocd
    int defs_used_ = 0;
    int code_ = 1;
    int level_ = 0;
    bool prev_copied_nothing_ = false;
};

// The key comparison of a table: negative, zero or positive as the record's
// key sorts before, equal to or after `key`. Only the sign is meaningful.
int compare_key(const Table &t, const Bytes &record, const unsigned char *key);

// True when `recid` asks for a key search.
bool is_key_selector(int recid);

}  // namespace model

#endif
