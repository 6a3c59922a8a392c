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
    int allcd, rinc, cur = 0;
    bool live = true;
    std::vector<std::string> recs;
    std::string &rec(int i) { return recs[static_cast<std::size_t>(i)]; }
    const std::string &rec(int i) const { return recs[static_cast<std::size_t>(i)]; }
    int used() const { return static_cast<int>(recs.size()); }
};

class Host {
public:
    explicit Host(int level);  // sets the trace level; stderr goes to a file
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    // The sixteen operations, each checked; a null `rec` passes a null buffer.
    int create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc);
    void free(int id);
    void count(int id);
    void err(int code);
    void add(int id, const std::string *rec);
    void set(int id, const std::string *rec);
    void get(int id, int recid, std::string *rec);
    void seek(int id, int recid, const std::string *rec);
    void del(int id, int recid, const std::string *rec);
    void next(int id, bool null_buffer = false);
    void prev(int id, bool null_buffer = false);
    void update(int id, const std::string *rec);
    void at_start(int id);
    void at_end(int id);
    // Walks every table forwards, frees it, and checks that only the registry is left.
    void finish();

    std::string record(int id, const Pick &pick) const;  // a record for table `id`
    std::vector<int> live() const;
    const std::string &log() const { return log_; }  // results and positions
    std::map<int, Table> tables;

private:
    Table *find(int id);
    int position(int id);
    bool search(Table &t, const std::string &key, int c, const std::string &out);
    std::string take();
    std::string record_code(int code);
    void end(const char *op, const std::string &out, int got, int want, const std::string &warn, int id);

    int level_, saved_fd_, file_fd_;
    std::string log_;
};

// One random sequence of `steps` calls at trace `level`, the `fail`-th call
// of the memory service failing (0: none): the log of results and positions.
std::string run_sequence(const Pick &pick, int steps, int level, long fail);

#endif
