// Runs every operation on the library and on the model side by side and
// compares them: results, buffers, the error code, the number of memory
// service calls and live blocks, then the stored definitions (tablePrint),
// the counts and the records (walks) of the tables. The first divergence
// stops the harness; failure() describes it with the operations that led
// there.
#ifndef MORVANE_TESTS_MODEL_HARNESS_H
#define MORVANE_TESTS_MODEL_HARNESS_H

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "model.h"

class Harness {
public:
    Harness();
    Harness(const Harness &) = delete;
    Harness &operator=(const Harness &) = delete;

    const model::Model &model() const { return model_; }
    bool ok() const { return failure_.empty(); }
    const std::string &failure() const { return failure_; }
    long operations() const { return operations_; }

    // Makes the `k`-th memory service call of the next operation fail, in
    // the library (through the test memory service) and in the model.
    void fail_next_call(int k);

    // The sixteen operations. A buffer argument is the initial content of
    // the buffer handed over (its size is the content's size), or null for a
    // null address. Each returns the library's result.
    int tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc);
    int tableFree(int tabid);
    int tableCount(int tabid);
    int tableErr(int err);
    void tableSetDebug(int level);
    void tablePrint(int tabid);
    int tableAdd(int tabid, const model::Bytes *rec);
    int tableSet(int tabid, const model::Bytes *rec);
    int tableGet(int tabid, int recid, const model::Bytes *buf);
    int tableSeek(int tabid, int recid, const model::Bytes *key);
    int tableDel(int tabid, int recid, const model::Bytes *key);
    int tableNext(int tabid, const model::Bytes *buf);
    int tablePrev(int tabid, const model::Bytes *buf);
    int tableUpdate(int tabid, const model::Bytes *rec);
    int tableAtStart(int tabid);
    int tableAtEnd(int tabid);

    // Walks every live table (forwards or backwards) and compares its records.
    void check_all_walks(bool backward);

    // Frees every table and clears the error code and trace level, in both.
    void clear();

private:
    struct Buffers;  // the library's and the model's copy of one buffer

    void begin(const std::string &call);
    void finish(int lib_result, int model_result, int touched);
    // One operation on table `tabid` in both, by `lib` and `mod`; with
    // `content` each gets its own copy of the buffer, compared afterwards.
    int run(const std::string &call, int tabid, const model::Bytes *content,
            const std::function<int(void *)> &lib, const std::function<int(void *)> &mod);
    void compare_buffers(const Buffers &b, bool bytes_defined);
    void check_tables(int touched);
    void check_walk(int tabid, bool backward);
    void diverge(const std::string &what);

    model::Model model_;
    long model_calls_ = 0;
    long model_fail_at_ = 0;
    long operations_ = 0;
    unsigned walk_turn_ = 0;
    std::deque<std::string> recent_;
    std::string failure_;
};

#endif
