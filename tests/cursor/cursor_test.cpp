// Sequential access through the current position: tableNext, tablePrev,
// tableUpdate, tableAtStart, tableAtEnd.
#include <climits>

#include "table_test.h"

using namespace tt;

namespace {

// What a fetching call returned, the record it copied and where it left
// the position.
struct Step {
    int result;
    Rec rec;
    int cur;
};

bool operator==(const Step &a, const Step &b) {
    return a.result == b.result && a.rec == b.rec && a.cur == b.cur;
}
std::ostream &operator<<(std::ostream &os, const Step &s) {
    return os << "result " << s.result << " rec " << s.rec << " cur " << s.cur;
}

// Each test starts on a unique table holding 10, 20, 30 (payloads 1, 2, 3).
class Cursor : public TableTest {
protected:
    int t = -1;
    void SetUp() override {
        TableTest::SetUp();
        t = make_int({{10, 1}, {20, 2}, {30, 3}});
    }
};

using CursorWalk = Cursor;
using CursorTrace = Cursor;

}  // namespace

// One walk over 10, 20, 30 through the documented cases: the end of a
// forward walk, tablePrev from the end and at record 0, tableNext copying
// before it moves where tableGet(REC_NEXT) moves first, and tableUpdate
// rewriting in place without re-sorting. Results and positions of arbitrary
// sequences are compared with the reference model in tests/model.
TEST_F(CursorWalk, DocumentedSteps) {
    const auto next = [&](Rec *b) { return tableNext(t, b); };
    const auto prev = [&](Rec *b) { return tablePrev(t, b); };
    const struct {
        const char *what;
        std::function<int(Rec *)> call;
        Step want;
    } rows[] = {
        {"seek first", [&](Rec *) { return tableSeek(t, REC_FIRST, nullptr); }, {1, {-1, -1}, 0}},
        {"next", next, {1, {10, 1}, 1}},
        {"next", next, {1, {20, 2}, 2}},
        {"next", next, {1, {30, 3}, 3}},
        {"next at the end", next, {0, {-1, -1}, 3}},
        {"at end", [&](Rec *) { return tableAtEnd(t); }, {1, {-1, -1}, 3}},
        {"prev from the end", prev, {1, {30, 3}, 1}},
        {"prev", prev, {1, {20, 2}, 0}},
        {"at start", [&](Rec *) { return tableAtStart(t); }, {1, {-1, -1}, 0}},
        {"prev on record 0", prev, {1, {10, 1}, 0}},
        {"prev stays on record 0", prev, {1, {10, 1}, 0}},
        {"next copies, then moves", next, {1, {10, 1}, 1}},
        {"get first", [&](Rec *b) { return tableGet(t, REC_FIRST, b); }, {1, {10, 1}, 0}},
        {"get next moves, then copies", [&](Rec *b) { return tableGet(t, REC_NEXT, b); }, {1, {20, 2}, 1}},
        {"update", [&](Rec *b) { *b = Rec{99, 9}; return tableUpdate(t, b); }, {1, {99, 9}, 2}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        Rec buf{-1, -1};
        const int result = row.call(&buf);
        EXPECT_EQ((Step{result, buf, cur_of(t)}), row.want);
    }
    // The update broke the key order: the search misses 30, which is there.
    EXPECT_EQ(keys(t), (std::vector<int>{10, 99, 30}));
    const Rec thirty{30, 0};
    EXPECT_EQ(at(t, tableSeek(t, REC_KEY, &thirty)), At(0, 1));
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(CursorTrace, WalksCopyThroughCopyRecordBetweenTwoDumps) {
    Rec buf{};
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    const Def d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { tableNext(t, &buf); }),
              entry("tableNext", t, &buf) + dump(t, d) + good(t) + copy_line(t, &buf, 1) +
                  exit_line("tableNext", 1) + dump(t, with_cur(d, 1)));
    EXPECT_EQ(at_level(3, [&] { tableUpdate(t, &buf); }),
              entry("tableUpdate", t, &buf) + dump(t, with_cur(d, 1)) + good(t) + copy_line(t, &buf, 0) +
                  exit_line("tableUpdate", 1) + dump(t, with_cur(d, 2)));

    // At the end nothing is copied.
    seek_key(t, 40);
    const Def e = with_cur(d, 3);
    EXPECT_EQ(at_level(3, [&] { tableNext(t, &buf); }),
              entry("tableNext", t, &buf) + dump(t, e) + good(t) + exit_line("tableNext", 0) + dump(t, e));
    EXPECT_EQ(at_level(3, [&] { tablePrev(t, &buf); }),
              entry("tablePrev", t, &buf) + dump(t, e) + good(t) + copy_line(t, &buf, 1) +
                  exit_line("tablePrev", 1) + dump(t, with_cur(d, 1)));
    EXPECT_EQ(at_level(1, [&] { tablePrev(t, &buf); }),
              entry("tablePrev", t, &buf) + exit_line("tablePrev", 1));
}

TEST_F(CursorTrace, EndTestsWriteOnlyTheEntryDump) {
    const Def d = def_of(t);
    EXPECT_EQ(at_level(2, [&] { tableAtStart(t); }),
              entry("tableAtStart", t) + dump(t, d) + exit_line("tableAtStart", 0));
    EXPECT_EQ(at_level(3, [&] { tableAtEnd(t); }),
              entry("tableAtEnd", t) + dump(t, d) + good(t) + exit_line("tableAtEnd", 0));
    EXPECT_EQ(at_level(2, [&] { tableAtEnd(-1); }),
              entry("tableAtEnd", -1) + dump(-1, Def{}) + err_lines(TERR_BADID, TERR_NONE) +
                  exit_line("tableAtEnd", 1));
    EXPECT_EQ(at_level(3, [&] { tableAtStart(INT_MAX); }),
              entry("tableAtStart", INT_MAX) + dump(INT_MAX, Def{}) + bad(INT_MAX, TERR_BADID) +
                  exit_line("tableAtStart", 1));
}
