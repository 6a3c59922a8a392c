// Hostile input: ids that name no table, selectors outside the six, extreme
// trace levels, sizes whose products overflow, null buffers. Each gets its
// documented result and code, and leaves the tables as they were.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "morvane.h"
#include "observe.h"
#include "oom_script.h"
#include "test_memory.h"
#include "trace_capture.h"

namespace {

struct Seen {
    model::Dump dump;
    std::vector<model::Bytes> records;
    bool operator==(const Seen &o) const { return dump == o.dump && records == o.records; }
};

Seen see(int tabid) {
    std::string why;
    const auto w = observe::walk(tabid, false, 0, &why);
    EXPECT_TRUE(w.has_value()) << why;
    return w ? Seen{w->dump, w->records} : Seen{};
}

// An operation taking a table id, with the result it gives for an invalid
// id. The buffer is 8 bytes.
struct IdOp {
    const char *name;
    std::function<int(int, void *)> call;
    int refused;
};

const std::vector<IdOp> &id_ops() {
    static const std::vector<IdOp> ops = {
        {"tableFree", [](int t, void *) { return tableFree(t); }, 1},
        {"tableCount", [](int t, void *) { return tableCount(t); }, -1},
        {"tableAdd", [](int t, void *b) { return tableAdd(t, b); }, 0},
        {"tableSet", [](int t, void *b) { return tableSet(t, b); }, 0},
        {"tableGet", [](int t, void *b) { return tableGet(t, REC_FIRST, b); }, 0},
        {"tableGet key", [](int t, void *b) { return tableGet(t, REC_KEY, b); }, 0},
        {"tableSeek", [](int t, void *b) { return tableSeek(t, REC_LAST, b); }, 0},
        {"tableDel", [](int t, void *b) { return tableDel(t, REC_FIRST, b); }, 0},
        {"tableNext", [](int t, void *b) { return tableNext(t, b); }, 0},
        {"tablePrev", [](int t, void *b) { return tablePrev(t, b); }, 0},
        {"tableUpdate", [](int t, void *b) { return tableUpdate(t, b); }, 0},
        {"tableAtStart", [](int t, void *) { return tableAtStart(t); }, 1},
        {"tableAtEnd", [](int t, void *) { return tableAtEnd(t); }, 1},
    };
    return ops;
}

// A table of keys 10, 20, 30 (4-byte integers, 8-byte records) and a freed
// table beside it.
class ModelHostile : public ::testing::Test {
protected:
    void SetUp() override {
        table_ = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
        freed_ = tableNew(8, KEY_STRING, KEY_DUPLICATES, 3, 0, 0);
        ASSERT_EQ(tableFree(freed_), 1);
        for (int k : {10, 20, 30}) ASSERT_EQ(tableAdd(table_, int_record(k, k).data()), 1);
        ASSERT_EQ(tableSeek(table_, REC_FIRST, nullptr), 1);
        tableErr(TERR_NONE);
        before_ = see(table_);
    }
    void TearDown() override {
        tableFree(table_);
        EXPECT_EQ(testmem::live_blocks(), 1) << "only the registry stays";
    }
    void expect_table_unchanged(const std::string &after) {
        EXPECT_TRUE(see(table_) == before_) << "after " << after << ": " << see(table_).dump.text();
    }

    observe::QuietStderr quiet_;
    int table_ = -1;
    int freed_ = -1;
    Seen before_;
};

TEST_F(ModelHostile, EveryOperationRefusesIdsThatNameNoTable) {
    const long blocks = testmem::live_blocks();
    testmem::reset();
    for (const int id : {-1, INT_MIN, INT_MAX, 100, 101, freed_}) {
        for (const IdOp &op : id_ops()) {
            model::Bytes buf = int_record(20, 99);
            const model::Bytes original = buf;
            tableErr(TERR_NONE);
            EXPECT_EQ(op.call(id, &buf[0]), op.refused) << op.name << "(" << id << ")";
            EXPECT_EQ(tableErr(-1), TERR_BADID) << op.name << "(" << id << ")";
            EXPECT_EQ(buf, original) << op.name << "(" << id << ") wrote the buffer";
        }
    }
    expect_table_unchanged("invalid ids");
    EXPECT_EQ(testmem::live_blocks(), blocks);
    EXPECT_EQ(testmem::calls(), 0);
}

TEST_F(ModelHostile, SelectorsOutsideTheSixSearchByKey) {
    for (const int sel : {INT_MIN, INT_MIN + 1, -100, -8, -7, 0, 1, 6, INT_MAX}) {
        model::Bytes buf = int_record(20, 0);
        EXPECT_EQ(tableGet(table_, sel, &buf[0]), 1) << sel;
        EXPECT_EQ(buf, int_record(20, 20)) << sel;
        EXPECT_EQ(tableSeek(table_, sel, int_record(25, 0).data()), 0) << sel;
        EXPECT_EQ(see(table_).dump.cur, 2) << "insertion point of 25, selector " << sel;
        EXPECT_EQ(tableSeek(table_, sel, int_record(30, 0).data()), 1) << sel;
        EXPECT_EQ(see(table_).dump.cur, 2) << sel;
        EXPECT_EQ(tableDel(table_, sel, int_record(20, 0).data()), 1) << sel;
        EXPECT_EQ(tableDel(table_, sel, int_record(20, 0).data()), 0) << sel;
        EXPECT_EQ(tableCount(table_), 2) << sel;
        ASSERT_EQ(tableAdd(table_, int_record(20, 20).data()), 1);
        tableSeek(table_, REC_FIRST, nullptr);
    }
    EXPECT_EQ(tableErr(-1), TERR_NONE);
    expect_table_unchanged("key searches");
}

TEST_F(ModelHostile, ExtremeTraceLevelsChangeNoResult) {
    const auto run = [this] {
        std::vector<int> r;
        model::Bytes buf = int_record(20, 0);
        r.push_back(tableGet(table_, REC_KEY, &buf[0]));
        r.push_back(tableNext(table_, &buf[0]));
        r.push_back(tableAtEnd(table_));
        r.push_back(tableCount(-1));
        r.push_back(tableErr(0));
        r.push_back(tableSeek(table_, REC_FIRST, nullptr));
        return r;
    };
    tableSetDebug(0);
    const auto at_zero = run();
    for (const int level : {INT_MAX, INT_MIN, 3}) {
        tableSetDebug(level);
        EXPECT_EQ(run(), at_zero) << "level " << level;
        tableSetDebug(0);
    }
    tableSetDebug(INT_MIN);  // below 0 traces nothing
    EXPECT_EQ(trace_of([this] { tableCount(table_); }), "");
    tableSetDebug(0);
    expect_table_unchanged("trace levels");
}

TEST_F(ModelHostile, NullBuffersWhereARecordOrKeyIsNeeded) {
    const std::vector<std::pair<const char *, std::function<int()>>> refused = {
        {"tableAdd", [this] { return tableAdd(table_, nullptr); }},
        {"tableSet", [this] { return tableSet(table_, nullptr); }},
        {"tableGet first", [this] { return tableGet(table_, REC_FIRST, nullptr); }},
        {"tableGet key", [this] { return tableGet(table_, REC_KEY, nullptr); }},
        {"tableNext", [this] { return tableNext(table_, nullptr); }},
        {"tablePrev", [this] { return tablePrev(table_, nullptr); }},
        {"tableUpdate", [this] { return tableUpdate(table_, nullptr); }},
    };
    tableSeek(table_, REC_LAST, nullptr);
    before_ = see(table_);
    for (const auto &[name, call] : refused) {
        tableSetDebug(3);
        std::string trace;
        int result = -9;
        trace = trace_of([&] { result = call(); });
        tableSetDebug(0);
        EXPECT_EQ(result, 0) << name;
        EXPECT_EQ(trace.find("find_record"), std::string::npos) << name;
        EXPECT_EQ(trace.find("copy_record"), std::string::npos) << name;
        expect_table_unchanged(name);
    }
    for (const int sel : {REC_KEY, 0, 7, -7, INT_MIN, INT_MAX}) {
        EXPECT_EQ(tableSeek(table_, sel, nullptr), 0) << sel;
        EXPECT_EQ(tableDel(table_, sel, nullptr), 0) << sel;
        expect_table_unchanged("key search without a key");
    }
    EXPECT_EQ(tableErr(-1), TERR_NONE);
    // Selectors that need no key work without a buffer.
    EXPECT_EQ(tableSeek(table_, REC_FIRST, nullptr), 1);
    EXPECT_EQ(tableSeek(table_, REC_NEXT, nullptr), 1);
    EXPECT_EQ(tableDel(table_, REC_CURRENT, nullptr), 1);
    EXPECT_EQ(tableDel(table_, REC_LAST, nullptr), 1);
    const Seen left = see(table_);
    ASSERT_EQ(left.records.size(), 1u);
    EXPECT_EQ(left.records[0], int_record(10, 10));
    EXPECT_EQ(left.dump.cur, 0);
}

// Refused parameters and the order of their codes are in
// tests/core/registry_test.cpp; here the floors of the sizes and a user key
// table without a comparison.
TEST_F(ModelHostile, TableParametersAtTheirExtremes) {
    tableErr(TERR_NONE);
    const int t = tableNew(8, KEY_USER, KEY_DUPLICATES, 0, INT_MIN, INT_MIN);
    EXPECT_EQ(t, freed_);  // the lowest free slot
    const auto d = observe::dump(t);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->allcd, 100);
    EXPECT_EQ(d->rinc, 50);
    // Without a comparison nothing is found and insertions append.
    for (int k : {3, 1, 2}) EXPECT_EQ(tableAdd(t, int_record(k, 0).data()), 1);
    EXPECT_EQ(see(t).records, (std::vector<model::Bytes>{int_record(3, 0), int_record(1, 0), int_record(2, 0)}));
    model::Bytes buf = int_record(1, 0);
    EXPECT_EQ(tableGet(t, REC_KEY, &buf[0]), 0);
    EXPECT_EQ(see(t).dump.cur, 3);
    EXPECT_EQ(tableErr(-1), TERR_NONE);
    tableFree(t);
    expect_table_unchanged("tableNew");
}

// Sizes above 2147483647 bytes are refused with code 2 before the memory
// service is called; sizes just below are asked for (and failed here).
TEST_F(ModelHostile, SizesThatDoNotFitAreRefusedWithoutAMemoryCall) {
    const struct {
        int rsiz, recs;
        long calls;
    } sizes[] = {
        {65536, 65536, 0}, {INT_MAX, 0, 0}, {30000000, 100, 0}, {2, INT_MAX / 2 + 1, 0},
        {2, INT_MAX, 0},   {1, INT_MAX, 1}, {3, INT_MAX / 3, 1},
    };
    for (const auto &s : sizes) {
        const long blocks = testmem::live_blocks();
        tableErr(TERR_NONE);
        testmem::fail_call(1);
        EXPECT_EQ(tableNew(s.rsiz, KEY_STRING, KEY_UNIQUE, 1, s.recs, 0), -1) << s.rsiz << " x " << s.recs;
        EXPECT_EQ(testmem::calls(), s.calls) << s.rsiz << " x " << s.recs;
        testmem::reset();
        EXPECT_EQ(tableErr(-1), TERR_NOMEM);
        EXPECT_EQ(testmem::live_blocks(), blocks);
    }
    // The slot stayed free.
    const int t = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, INT_MAX);
    EXPECT_EQ(t, freed_);
    const int u = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, INT_MAX / 8 - 99);  // 1 byte over
    const int v = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, INT_MAX / 8 - 100);  // 7 bytes under
    for (int k = 0; k < 100; ++k)
        for (int id : {t, u, v}) ASSERT_EQ(tableAdd(id, int_record(k * 2, k).data()), 1);
    for (int id : {t, u, v}) {
        const Seen full = see(id);
        tableErr(TERR_NONE);
        testmem::fail_call(1);
        EXPECT_EQ(tableAdd(id, int_record(51, 0).data()), 0) << id;
        EXPECT_EQ(testmem::calls(), id == v ? 1 : 0) << id;
        testmem::reset();
        EXPECT_EQ(tableErr(-1), TERR_NOMEM) << id;
        Seen after = see(id);
        EXPECT_EQ(after.dump.cur, 26) << "the insertion point of 51";
        after.dump.cur = full.dump.cur;
        EXPECT_TRUE(after == full) << id;
        tableFree(id);
    }
    expect_table_unchanged("refused sizes");
}

// Before the first table the registry does not exist: every id is invalid.
TEST(ModelHostileFresh, EveryIdIsInvalidBeforeTheFirstTable) {
    observe::QuietStderr quiet;
    for (const int id : {0, 1, -1, 99, 100, INT_MIN, INT_MAX}) {
        for (const IdOp &op : id_ops()) {
            model::Bytes buf = int_record(1, 1);
            tableErr(TERR_NONE);
            EXPECT_EQ(op.call(id, &buf[0]), op.refused) << op.name << "(" << id << ")";
            EXPECT_EQ(tableErr(-1), TERR_BADID) << op.name << "(" << id << ")";
        }
        const auto d = observe::dump(id);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(*d, model::Dump{});
    }
    EXPECT_EQ(tableNew(8, 7, 0, 4, 0, 0), -1);  // refused: makes no registry
    EXPECT_EQ(testmem::live_blocks(), 0);
    EXPECT_EQ(testmem::calls(), 0);
}

}  // namespace
