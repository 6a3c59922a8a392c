// The sticky error code: what tableErr stores, returns and writes.
#include <gtest/gtest.h>

#include <climits>

#include "core_lines.h"
#include "morvane.h"
#include "trace_capture.h"

namespace {

// The code tableErr(err) leaves behind when `current` stood before it.
int code_after(int err, int current) {
    if (err == 0) return current;
    if (err >= 1 && err <= 8) return err;
    return current;
}

// The code shown in the warning tableErr(err) writes, or 0 for none.
int warned_code(int err, int current) {
    if (err < 0 || err > 8) return 0;
    const int effective = err == 0 ? current : err;
    return effective == TERR_NONE ? 0 : effective;
}

const int kErrs[] = {-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, INT_MIN, INT_MAX};

// Reads the code without changing it or writing a warning.
int peek_code() { return tableErr(9); }

}  // namespace

TEST(CoreError, EveryCodeAtLevelZero) {
    for (int start : {TERR_NONE, 5}) {
        for (int err : kErrs) {
            SCOPED_TRACE("start " + std::to_string(start) + ", err " + std::to_string(err));
            std::string text = trace_of([&] { tableErr(start); });
            EXPECT_EQ(text, start == TERR_NONE ? "" : lines::warning(start));
            int result = 0;
            text = trace_of([&] { result = tableErr(err); });
            EXPECT_EQ(result, start);
            const int warned = warned_code(err, start);
            EXPECT_EQ(text, warned ? lines::warning(warned) : "");
            EXPECT_EQ(peek_code(), code_after(err, start));
        }
    }
}

TEST(CoreError, EveryCodeWritesItsCallLinesFromLevelOne) {
    for (int level : {1, 2, 3}) {
        for (int err : kErrs) {
            SCOPED_TRACE("level " + std::to_string(level) + ", err " + std::to_string(err));
            tableSetDebug(0);
            tableErr(6);
            tableSetDebug(level);
            int result = 0;
            const std::string text = trace_of([&] { result = tableErr(err); });
            EXPECT_EQ(result, 6);
            EXPECT_EQ(text, lines::err_call(err, warned_code(err, 6), 6));
            tableSetDebug(0);
            EXPECT_EQ(peek_code(), code_after(err, 6));
        }
    }
}

TEST(CoreError, ZeroRepeatsPendingWarningAndOneClearsIt) {
    std::string text = trace_of([] { EXPECT_EQ(tableCount(-1), -1); });
    EXPECT_EQ(text, lines::warning(TERR_BADID));

    for (int level : {0, 2}) {
        tableSetDebug(level);
        text = trace_of([] { EXPECT_EQ(tableErr(0), TERR_BADID); });
        EXPECT_EQ(text, level == 0 ? lines::warning(TERR_BADID)
                                   : lines::err_call(0, TERR_BADID, TERR_BADID));
    }
    tableSetDebug(0);
    text = trace_of([] {
        EXPECT_EQ(tableErr(TERR_NONE), TERR_BADID);
        EXPECT_EQ(tableErr(0), TERR_NONE);
    });
    EXPECT_EQ(text, "");
}
