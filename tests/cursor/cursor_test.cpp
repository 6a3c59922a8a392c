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
    Step step(int (*op)(int, void *)) {
        Rec buf{-1, -1};
        const int result = op(t, &buf);
        return {result, buf, cur_of(t)};
    }
};

using CursorWalk = Cursor;
using CursorUpdate = Cursor;
using CursorBadInput = Cursor;
using CursorTrace = Cursor;

}  // namespace

TEST_F(CursorWalk, ForwardFetchesEachRecordThenStops) {
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    EXPECT_EQ(step(tableNext), (Step{1, {10, 1}, 1}));
    EXPECT_EQ(step(tableNext), (Step{1, {20, 2}, 2}));
    EXPECT_EQ(step(tableNext), (Step{1, {30, 3}, 3}));
    EXPECT_EQ(step(tableNext), (Step{0, {-1, -1}, 3}));
    EXPECT_EQ(tableAtEnd(t), 1);
    EXPECT_EQ(tableAtStart(t), 0);
    // From the end, tablePrev starts at the last record.
    EXPECT_EQ(step(tablePrev), (Step{1, {30, 3}, 1}));
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(CursorWalk, BackwardStaysOnRecordZero) {
    ASSERT_EQ(tableSeek(t, REC_LAST, nullptr), 1);
    EXPECT_EQ(step(tablePrev), (Step{1, {30, 3}, 1}));
    EXPECT_EQ(tableAtStart(t), 0);
    EXPECT_EQ(step(tablePrev), (Step{1, {20, 2}, 0}));
    EXPECT_EQ(tableAtStart(t), 1);
    EXPECT_EQ(step(tablePrev), (Step{1, {10, 1}, 0}));
    EXPECT_EQ(step(tablePrev), (Step{1, {10, 1}, 0}));
    EXPECT_EQ(tableAtEnd(t), 0);
}

TEST_F(CursorWalk, EmptyTable) {
    const int e = make_int();
    Rec buf{-1, -1};
    EXPECT_EQ(tableNext(e, &buf), 0);
    EXPECT_EQ(buf, (Rec{-1, -1}));
    EXPECT_EQ(tableUpdate(e, &buf), 0);
    EXPECT_EQ(tableCount(e), 0);
    EXPECT_EQ(tableAtStart(e), 1);
    EXPECT_EQ(tableAtEnd(e), 1);
    EXPECT_EQ(at(e, tablePrev(e, &buf)), At(1, 0));  // copies slot 0, which holds no record
    EXPECT_EQ(tableSeek(e, REC_LAST, nullptr), 0);
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(CursorWalk, NextCopiesBeforeMovingWhereGetNextMovesFirst) {
    Rec buf{};
    ASSERT_EQ(tableGet(t, REC_FIRST, &buf), 1);
    EXPECT_EQ(step(tableNext), (Step{1, {10, 1}, 1}));
    ASSERT_EQ(tableGet(t, REC_FIRST, &buf), 1);
    ASSERT_EQ(tableGet(t, REC_NEXT, &buf), 1);
    EXPECT_EQ(buf, (Rec{20, 2}));
    EXPECT_EQ(cur_of(t), 1);
}

TEST_F(CursorWalk, ContinuesWhereKeyedOperationsLeaveThePosition) {
    const Rec r15{15, 0};
    ASSERT_EQ(tableAdd(t, &r15), 1);
    EXPECT_EQ(step(tableNext), (Step{1, {15, 0}, 2}));
    EXPECT_EQ(step(tableNext), (Step{1, {20, 2}, 3}));

    Rec k{20, 0};
    ASSERT_EQ(tableDel(t, REC_KEY, &k), 1);
    EXPECT_EQ(step(tableNext), (Step{1, {30, 3}, 3}));

    k.key = 25;  // not there: the position is where 25 would go
    EXPECT_EQ(tableSeek(t, REC_KEY, &k), 0);
    EXPECT_EQ(step(tableNext), (Step{1, {30, 3}, 3}));

    const Rec s10{10, 100};
    ASSERT_EQ(tableSet(t, &s10), 1);
    EXPECT_EQ(step(tableNext), (Step{1, {10, 100}, 1}));

    k.key = 40;
    EXPECT_EQ(tableSeek(t, REC_KEY, &k), 0);
    EXPECT_EQ(tableAtEnd(t), 1);
    EXPECT_EQ(step(tablePrev), (Step{1, {30, 3}, 1}));
}

TEST_F(CursorUpdate, RewritesInPlaceAndSteps) {
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    const Rec r{10, 100};
    EXPECT_EQ(at(t, tableUpdate(t, &r)), At(1, 1));
    Rec buf{10, 0};
    ASSERT_EQ(tableGet(t, REC_KEY, &buf), 1);
    EXPECT_EQ(buf, r);

    // An update walk rewrites every record and stops at the end.
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    int rewritten = 0;
    for (Rec w{10, -10}; tableUpdate(t, &w) == 1; w = Rec{w.key + 10, -(w.key + 10)}) ++rewritten;
    EXPECT_EQ(rewritten, 3);
    EXPECT_EQ(cur_of(t), 3);
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, -10}, {20, -20}, {30, -30}}));
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(CursorUpdate, DoesNotResort) {
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    const Rec big{99, 9};
    ASSERT_EQ(tableUpdate(t, &big), 1);
    EXPECT_EQ(keys(t), (std::vector<int>{99, 20, 30}));
    EXPECT_EQ(at(t, tableSeek(t, REC_KEY, &big)), At(0, 3));  // the order is broken

    // A unique table can come to hold equal keys.
    const int u = make_int({{10, 1}, {20, 2}, {30, 3}});
    seek_key(u, 20);
    const Rec ten{10, 7};
    ASSERT_EQ(tableUpdate(u, &ten), 1);
    EXPECT_EQ(records(u), (std::vector<Rec>{{10, 1}, {10, 7}, {30, 3}}));
    EXPECT_EQ(tableCount(u), 3);
}

TEST_F(CursorBadInput, InvalidIds) {
    const int freed = make_int({{1, 1}});
    drop(freed);
    for (int id : {-1, INT_MIN, freed, 100, INT_MAX}) {
        SCOPED_TRACE("id " + std::to_string(id));
        Rec buf{-1, -1};
        expect_bad_id([&] { return tableNext(id, &buf); }, 0);
        expect_bad_id([&] { return tablePrev(id, &buf); }, 0);
        expect_bad_id([&] { return tableUpdate(id, &buf); }, 0);
        expect_bad_id([&] { return tableAtStart(id); }, 1);
        expect_bad_id([&] { return tableAtEnd(id); }, 1);
        EXPECT_EQ(buf, (Rec{-1, -1}));
    }
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 1}, {20, 2}, {30, 3}}));
}

TEST_F(CursorBadInput, NullBufferLeavesPositionAndRecords) {
    for (int at : {1, 3}) {
        SCOPED_TRACE("at " + std::to_string(at));
        for (const char *name : {"tableNext", "tablePrev", "tableUpdate"}) {
            SCOPED_TRACE(name);
            const std::string op = name;
            auto call = [&] {
                return op == "tableNext" ? tableNext(t, nullptr)
                       : op == "tablePrev" ? tablePrev(t, nullptr)
                                           : tableUpdate(t, nullptr);
            };
            seek_key(t, at == 3 ? 40 : 20);
            const Def d = def_of(t);
            int result = -1;
            EXPECT_EQ(trace_of([&] { result = call(); }), "");
            EXPECT_EQ(result, 0);
            EXPECT_EQ(cur_of(t), at);
            EXPECT_EQ(at_level(3, [&] { result = call(); }),
                      entry(op, t, nullptr) + dump(t, d) + good(t) + exit_line(op, 0) + dump(t, d));
            EXPECT_EQ(result, 0);
        }
    }
    EXPECT_EQ(code(), TERR_NONE);
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 1}, {20, 2}, {30, 3}}));
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
