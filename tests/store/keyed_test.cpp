// The keyed operations: tableAdd, tableSet, tableGet, tableSeek, tableDel.
#include <climits>

#include "table_test.h"

using namespace tt;

namespace {

using StoreKeyed = TableTest;

}  // namespace

TEST_F(StoreKeyed, AddKeepsKeyOrderAndUniqueTablesRefuseEqualKeys) {
    const int t = make_int();
    const Rec adds[] = {{30, 3}, {10, 1}, {20, 2}};
    const int curs[] = {0, 0, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(at(t, tableAdd(t, &adds[i])), At(1, curs[i]));
    }
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 1}, {20, 2}, {30, 3}}));

    tableSetDebug(-1);  // negative levels trace nothing
    const Rec again{20, 99};
    seek_key(t, 40);
    const std::string text = trace_of([&] { EXPECT_EQ(tableAdd(t, &again), 0); });
    EXPECT_EQ(text, "");
    EXPECT_EQ(code(), TERR_NONE);
    EXPECT_EQ(cur_of(t), 1);
    EXPECT_EQ(tableCount(t), 3);
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 1}, {20, 2}, {30, 3}}));
}

TEST_F(StoreKeyed, DuplicatesGoInFrontOfTheRecordTheSearchMet) {
    const int t = make_int({{10, 0}, {30, 0}}, KEY_DUPLICATES);
    const int curs[] = {1, 1, 2};
    for (int p = 1; p <= 3; ++p) {
        const Rec r{20, p};
        EXPECT_EQ(at(t, tableAdd(t, &r)), At(1, curs[p - 1]));
    }
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 0}, {20, 2}, {20, 3}, {20, 1}, {30, 0}}));

    // Set, Get and Del by key all act on slot 2, where the search stops.
    Rec buf{20, -1};
    ASSERT_EQ(tableGet(t, REC_KEY, &buf), 1);
    EXPECT_EQ(buf, (Rec{20, 3}));
    const Rec repl{20, 33};
    EXPECT_EQ(at(t, tableSet(t, &repl)), At(1, 2));
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 0}, {20, 2}, {20, 33}, {20, 1}, {30, 0}}));
    EXPECT_EQ(at(t, tableDel(t, REC_KEY, &repl)), At(1, 2));
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 0}, {20, 2}, {20, 1}, {30, 0}}));
}

TEST_F(StoreKeyed, SetReplacesTheWholeRecordOfAnExistingKey) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    const Rec repl{20, 200};
    EXPECT_EQ(at(t, tableSet(t, &repl)), At(1, 1));
    Rec buf{20, 0};
    ASSERT_EQ(tableGet(t, REC_KEY, &buf), 1);
    EXPECT_EQ(buf, repl);

    const Rec absent{25, 250};
    EXPECT_EQ(at(t, tableSet(t, &absent)), At(0, 2));
    EXPECT_EQ(records(t), (std::vector<Rec>{{10, 1}, {20, 200}, {30, 3}}));
    EXPECT_EQ(code(), TERR_NONE);

    // Key bytes the comparison ignores are replaced too.
    const int s = make(8, KEY_STRING, KEY_UNIQUE, 4);
    const std::string stored("ab\0xPQRS", 8), given("ab\0yWXYZ", 8);
    ASSERT_EQ(tableAdd(s, stored.data()), 1);
    ASSERT_EQ(tableSet(s, given.data()), 1);
    EXPECT_EQ(raw_records(s), std::vector<std::string>{given});
}

TEST_F(StoreKeyed, GetFetchesTheWholeRecordAndLeavesTheBufferOnAMiss) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    Rec buf{20, 777};
    EXPECT_EQ(at(t, tableGet(t, REC_KEY, &buf)), At(1, 1));
    EXPECT_EQ(buf, (Rec{20, 2}));
    buf = Rec{25, 777};
    EXPECT_EQ(at(t, tableGet(t, REC_KEY, &buf)), At(0, 2));
    EXPECT_EQ(buf, (Rec{25, 777}));
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(StoreKeyed, DelRemovesTheChosenRecord) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    Rec k{20, 0};
    EXPECT_EQ(at(t, tableDel(t, REC_KEY, &k)), At(1, 1));
    EXPECT_EQ(keys(t), (std::vector<int>{10, 30}));
    k.key = 30;
    EXPECT_EQ(at(t, tableDel(t, REC_KEY, &k)), At(1, 0));
    k.key = 99;
    EXPECT_EQ(at(t, tableDel(t, REC_KEY, &k)), At(0, 1));  // where 99 would go
    EXPECT_EQ(tableDel(t, REC_NEXT, nullptr), 0);  // nothing after the last record
    ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
    EXPECT_EQ(tableDel(t, REC_PREV, nullptr), 0);  // nothing before record 0
    EXPECT_EQ(keys(t), (std::vector<int>{10}));

    // After a walk has reached the end, REC_CURRENT deletes the last record.
    const int u = make_int({{10, 1}, {20, 2}, {30, 3}});
    ASSERT_EQ(records(u).size(), 3u);
    ASSERT_EQ(cur_of(u), 3);
    ASSERT_EQ(tableDel(u, REC_CURRENT, nullptr), 1);
    EXPECT_EQ(keys(u), (std::vector<int>{10, 20}));
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(StoreKeyed, InvalidIdsAreRefusedWithCodeThree) {
    const int freed = make_int({{1, 1}});
    const int live = make_int({{10, 1}, {20, 2}});
    drop(freed);
    seek_key(live, 20);
    const std::string live_before = trace_of([&] { tablePrint(live); });

    const int ids[] = {-1, INT_MIN, freed, 100, INT_MAX};
    for (int id : ids) {
        SCOPED_TRACE("id " + std::to_string(id));
        Rec buf{10, 42};
        expect_bad_id([&] { return tableAdd(id, &buf); }, 0);
        expect_bad_id([&] { return tableSet(id, &buf); }, 0);
        expect_bad_id([&] { return tableGet(id, REC_KEY, &buf); }, 0);
        expect_bad_id([&] { return tableGet(id, REC_FIRST, &buf); }, 0);
        expect_bad_id([&] { return tableSeek(id, REC_FIRST, nullptr); }, 0);
        expect_bad_id([&] { return tableDel(id, REC_KEY, &buf); }, 0);
        expect_bad_id([&] { return tableDel(id, REC_LAST, nullptr); }, 0);
        EXPECT_EQ(buf, (Rec{10, 42}));
    }
    EXPECT_EQ(trace_of([&] { tablePrint(live); }), live_before);
    EXPECT_EQ(records(live), (std::vector<Rec>{{10, 1}, {20, 2}}));
}

TEST_F(StoreKeyed, NullBufferDoesNothingWhereARecordOrKeyIsNeeded) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    struct Op {
        std::string name;
        int recid;  // 0: the operation takes no selector
        std::function<int()> call;
    };
    const Op ops[] = {
        {"tableAdd", 0, [&] { return tableAdd(t, nullptr); }},
        {"tableSet", 0, [&] { return tableSet(t, nullptr); }},
        {"tableGet", REC_KEY, [&] { return tableGet(t, REC_KEY, nullptr); }},
        {"tableGet", REC_FIRST, [&] { return tableGet(t, REC_FIRST, nullptr); }},
        {"tableSeek", REC_KEY, [&] { return tableSeek(t, REC_KEY, nullptr); }},
        {"tableSeek", 7, [&] { return tableSeek(t, 7, nullptr); }},
        {"tableDel", REC_KEY, [&] { return tableDel(t, REC_KEY, nullptr); }},
        {"tableDel", INT_MIN, [&] { return tableDel(t, INT_MIN, nullptr); }},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.name + " " + std::to_string(op.recid));
        seek_key(t, 20);
        const Def d = def_of(t);
        int result = -1;
        EXPECT_EQ(trace_of([&] { result = op.call(); }), "");
        EXPECT_EQ(result, 0);
        EXPECT_EQ(trace_of([&] { tablePrint(t); }), dump(t, d));

        // At level 3 only the frame and the id check are written.
        tableSetDebug(3);
        const std::string text = trace_of([&] { result = op.call(); });
        tableSetDebug(0);
        EXPECT_EQ(result, 0);
        const std::string in = op.recid ? entry(op.name, t, op.recid, nullptr) : entry(op.name, t, nullptr);
        EXPECT_EQ(text, in + dump(t, d) + good(t) + exit_line(op.name, 0) + dump(t, d));
    }
    EXPECT_EQ(code(), TERR_NONE);
    EXPECT_EQ(keys(t), (std::vector<int>{10, 20, 30}));

    // Selectors that read no key need no buffer.
    EXPECT_EQ(at(t, tableSeek(t, REC_LAST, nullptr)), At(1, 2));
    EXPECT_EQ(tableDel(t, REC_FIRST, nullptr), 1);
    EXPECT_EQ(keys(t), (std::vector<int>{20, 30}));

    // The id is checked first.
    EXPECT_EQ(tableAdd(-1, nullptr), 0);
    EXPECT_EQ(code(), TERR_BADID);
}
