// What a host can observe of the library, kept beside it while calls run:
// each table's records in key order, its position and size, the sticky error
// code. Every call goes to the library, and its result, the record it
// fetched, the warning it wrote, the error code and the table's stored
// definition (read back with tablePrint) are checked against this view; the
// first difference throws Mismatch. Where the exact member of a run of equal
// keys is not fixed, the view takes the library's position once it has
// checked what any binary search guarantees there.
#ifndef MORVANE_TESTS_HOST_H
#define MORVANE_TESTS_HOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

struct Mismatch : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Numbers 0 to n - 1 that steer a sequence (a seeded generator, fuzz input).
using Pick = std::function<unsigned(unsigned n)>;

struct Table {
    int rsiz, ktyp, kmod;
    std::intptr_t ftyp;
    int allcd, rinc, cur;
    bool live;
    std::vector<std::string> recs;
    std::string &rec(int i) { return recs[static_cast<std::size_t>(i)]; }
    int used() const { return static_cast<int>(recs.size()); }
};

enum Op { Free, Count, AtStart, AtEnd, Next, Prev, Update, Add, Set, Get, Seek, Del };

class Host {
public:
    explicit Host(int level);  // sets the trace level; stderr goes to a file
    ~Host();

    int create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc);
    void err(int code);
    // Any other operation on table `id`: `rec` is the record to store, the
    // key to search or the buffer to fetch into (null passes a null buffer);
    // `recid` the selector of tableGet, tableSeek and tableDel.
    int call(Op op, int id, std::string *rec = nullptr, int recid = 0);
    // Walks every table forwards, frees it, and checks that only the registry is left.
    void finish();

    std::string record(int id, const Pick &pick) const;  // a record for table `id`
    std::string log;                                      // results and positions
    std::map<int, Table> tables;

private:
    Table *find(int id);
    int position(int id);
    bool search(Table &t, const std::string &key, int c);
    std::string take();
    void end(int op, const std::string &out, int got, int want, int code, int id);

    int level_, saved_fd_, file_fd_;
};

// One random sequence of `steps` calls at trace `level`, the `fail`-th call
// of the memory service failing (0: none), with `onwards` every call after
// it too: the log of results and positions.
std::string run_sequence(const Pick &pick, int steps, int level, long fail, bool onwards = false);

#endif
