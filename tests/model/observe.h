// Looking at the library's tables from outside, through the public header
// only: the stored definition via tablePrint (captured from standard error
// and parsed), and the records via a walk that puts the current position
// back where it was.
#ifndef MORVANE_TESTS_MODEL_OBSERVE_H
#define MORVANE_TESTS_MODEL_OBSERVE_H

#include <optional>
#include <string>
#include <vector>

#include "model.h"

namespace observe {

// Sends standard error to an unlinked temporary file, emptied now and then
// (or to the file named by the environment variable MORVANE_TEST_STDERR,
// kept whole) while it lives, so that runs at high trace levels keep the
// test output small. dump() then reads the dump back from that file.
class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr &) = delete;
    QuietStderr &operator=(const QuietStderr &) = delete;

private:
    int saved_ = -1;
};

// The text tablePrint(tabid) writes.
std::string print_text(int tabid);

// tablePrint(tabid) parsed into its nine fields; nullopt when the text does
// not have the dump's shape (the reason in `*why` when given).
std::optional<model::Dump> dump(int tabid, std::string *why = nullptr);

// The records of live table `tabid` in stored order, read by a forward walk
// (tableSeek REC_FIRST, tableNext until 0) or a backward one (tableSeek
// REC_LAST, tablePrev until tableAtStart has answered 1); `cur` is restored
// afterwards and the trace level set to `level`. nullopt, with the reason in
// `*why`, when the walk misbehaves (results, ends, or the restored position).
struct Walk {
    std::vector<model::Bytes> records;
    model::Dump dump;  // taken after the position was restored
};
std::optional<Walk> walk(int tabid, bool backward, int level, std::string *why);

// Puts the current position of a table holding `used` records at `cur`
// using only selectors and tableNext.
void restore_position(int tabid, int rsiz, int used, int cur);

// Bytes as hex, for messages.
std::string hex(const model::Bytes &b);

}  // namespace observe

#endif
