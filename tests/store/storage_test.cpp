// Record storage: slots opened and closed at the position, growth of the
// block by the table's increment, and growth that cannot be had.
#include <climits>

#include "table_test.h"

using namespace tt;

namespace {

using StoreStorage = TableTest;

// Fills an int table with keys 0, 10, ... of payload key + 1.
void fill(int tabid, int n) {
    for (int i = 0; i < n; ++i) {
        Rec r{i * 10, i * 10 + 1};
        ASSERT_EQ(tableAdd(tabid, &r), 1) << "record " << i;
    }
}

}  // namespace

TEST_F(StoreStorage, DeletionsCloseTheSlotAndPlaceThePosition) {
    struct Case {
        int key;                  // record deleted from 10, 20, 30
        std::vector<int> left;
        int cur;
    };
    const Case cases[] = {{10, {20, 30}, 0}, {20, {10, 30}, 1}, {30, {10, 20}, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE("deleting " + std::to_string(c.key));
        const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
        Rec k{c.key, 0};
        ASSERT_EQ(tableDel(t, REC_KEY, &k), 1);
        const Def d = def_of(t);
        EXPECT_EQ(d.used, 2);
        EXPECT_EQ(d.cur, c.cur);
        EXPECT_EQ(d.allcd, 100);  // storage never shrinks
        EXPECT_EQ(keys(t), c.left);
        drop(t);
    }
    const int one = make_int({{7, 7}});
    ASSERT_EQ(tableDel(one, REC_FIRST, nullptr), 1);
    EXPECT_EQ(def_of(one).used, 0);
    EXPECT_EQ(def_of(one).cur, 0);
}

TEST_F(StoreStorage, GrowsExactlyByTheIncrementKeepingEveryRecord) {
    const int t = make(8, KEY_INT, KEY_UNIQUE, 4, 100, 50);
    fill(t, 100);
    const long blocks = testmem::live_blocks();
    const Def d0 = def_of(t);
    EXPECT_EQ(d0.allcd, 100);

    // The 101st record sorts first, so growth and a full move happen at once.
    Rec first{-10, -9};
    ASSERT_EQ(tableAdd(t, &first), 1);
    Def d = def_of(t);
    EXPECT_EQ(d.allcd, 150);
    EXPECT_EQ(d.rinc, 50);
    EXPECT_EQ(d.used, 101);
    EXPECT_EQ(d.cur, 0);
    EXPECT_NE(d.tptr, d0.tptr);  // a fresh block, taken while the old one was held
    EXPECT_EQ(testmem::live_blocks(), blocks);  // the old block went back
    std::vector<Rec> got = records(t);
    ASSERT_EQ(got.size(), 101u);
    for (int i = 0; i < 101; ++i) EXPECT_EQ(got[static_cast<std::size_t>(i)], (Rec{(i - 1) * 10, (i - 1) * 10 + 1}));

    // Another 50 fit; the next growth adds 50 again.
    for (int i = 0; i < 49; ++i) {
        Rec r{5000 + i, 0};
        ASSERT_EQ(tableAdd(t, &r), 1);
    }
    EXPECT_EQ(def_of(t).allcd, 150);
    Rec r{9999, 0};
    ASSERT_EQ(tableAdd(t, &r), 1);
    EXPECT_EQ(def_of(t).allcd, 200);
    EXPECT_EQ(tableCount(t), 151);

    // An increment above the minimum is used as given.
    const int wide = make(8, KEY_INT, KEY_UNIQUE, 4, 120, 70);
    fill(wide, 121);
    EXPECT_EQ(def_of(wide).allcd, 190);
}

TEST_F(StoreStorage, FailedGrowthLeavesTheTableAsItWas) {
    for (int kmod : {KEY_UNIQUE, KEY_DUPLICATES}) {
        SCOPED_TRACE("kmod " + std::to_string(kmod));
        const int t = make(8, KEY_INT, kmod, 4, 100, 50);
        fill(t, 100);
        const std::vector<Rec> before = records(t);
        const Def d0 = def_of(t);
        const long blocks = testmem::live_blocks();

        // Key 55 would go in at 6; in the duplicates table the search for
        // key 60 stops on slot 6.
        Rec extra{kmod == KEY_UNIQUE ? 55 : 60, 0};
        tableErr(TERR_NONE);
        testmem::fail_call(1);
        int result = -1;
        const std::string text = trace_of([&] { result = tableAdd(t, &extra); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(text, warning(TERR_NOMEM));
        EXPECT_EQ(code(), TERR_NOMEM);
        EXPECT_EQ(testmem::calls(), 1);
        EXPECT_EQ(testmem::live_blocks(), blocks);
        Def d1 = def_of(t);
        EXPECT_EQ(d1.cur, 6);
        d1.cur = d0.cur;
        EXPECT_EQ(dump(t, d1), dump(t, d0));
        EXPECT_EQ(records(t), before);

        // Once memory is back the same insertion succeeds.
        testmem::reset();
        ASSERT_EQ(tableAdd(t, &extra), 1);
        EXPECT_EQ(def_of(t).allcd, 150);
        EXPECT_EQ(def_of(t).cur, 6);
        EXPECT_EQ(tableCount(t), 101);
        EXPECT_EQ(testmem::live_blocks(), blocks);
        drop(t);
        EXPECT_EQ(testmem::live_blocks(), blocks - 1);
    }
}

TEST_F(StoreStorage, GrowthTooLargeIsRefusedWithoutAskingForMemory) {
    // allcd + rinc itself exceeds the 32-bit range.
    const int t = make(4, KEY_INT, KEY_UNIQUE, 4, 100, INT_MAX);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(tableAdd(t, &i), 1);
    const Def d0 = def_of(t);
    testmem::reset();
    int k = 1000;
    std::string text = trace_of([&] { EXPECT_EQ(tableAdd(t, &k), 0); });
    EXPECT_EQ(text, warning(TERR_NOMEM));
    EXPECT_EQ(code(), TERR_NOMEM);
    EXPECT_EQ(testmem::calls(), 0);
    Def d1 = def_of(t);
    EXPECT_EQ(d1.cur, 100);
    d1.cur = d0.cur;
    EXPECT_EQ(dump(t, d1), dump(t, d0));

    // (allcd + rinc) * rsiz: 2147484 slots of 1000 bytes are one slot too
    // many; 2147483 slots fit in the range and are asked for (and denied).
    for (int rinc : {2147384, 2147383}) {
        SCOPED_TRACE("rinc " + std::to_string(rinc));
        const int big = make(1000, KEY_INT, KEY_UNIQUE, 4, 100, rinc);
        std::vector<char> rec(1000, 'x');
        for (int i = 0; i < 100; ++i) {
            std::memcpy(rec.data(), &i, sizeof i);
            ASSERT_EQ(tableAdd(big, rec.data()), 1);
        }
        tableErr(TERR_NONE);
        testmem::fail_from(1);
        std::memcpy(rec.data(), &k, sizeof k);
        EXPECT_EQ(tableAdd(big, rec.data()), 0);
        EXPECT_EQ(code(), TERR_NOMEM);
        EXPECT_EQ(testmem::calls(), rinc == 2147384 ? 0 : 1);
        EXPECT_EQ(tableCount(big), 100);
        EXPECT_EQ(def_of(big).allcd, 100);
        testmem::reset();
        drop(big);
    }
}

// Records of every size from 1 to 80 bytes survive storing, growth, fetching
// by key, walking both ways and rewriting in place byte for byte: records
// are copied word-wise below some sizes and by the C library above.
TEST(StoreRecordSizes, EveryByteOfEverySizeRoundTrips) {
    for (int rsiz = 1; rsiz <= 80; ++rsiz) {
        SCOPED_TRACE("rsiz " + std::to_string(rsiz));
        const int t = tableNew(rsiz, KEY_STRING, KEY_UNIQUE, 1, 0, 0);
        ASSERT_GE(t, 0);
        const auto pattern = [rsiz](int k, int salt) {
            std::string r(static_cast<std::size_t>(rsiz), '\0');
            for (int i = 0; i < rsiz; ++i) r[static_cast<std::size_t>(i)] = static_cast<char>(k * 7 + i * 13 + salt);
            r[0] = static_cast<char>(k + 1);  // the one-byte text key: 1..120
            return r;
        };
        constexpr int kCount = 120;  // past the first 100 slots: one growth
        for (int k = kCount - 1; k >= 0; --k) ASSERT_EQ(tableAdd(t, pattern(k, 0).data()), 1);

        std::string buf(static_cast<std::size_t>(rsiz) + 16, '\x5a');
        for (int k = 0; k < kCount; k += 17) {
            buf.replace(0, 1, 1, static_cast<char>(k + 1));
            ASSERT_EQ(tableGet(t, REC_KEY, buf.data()), 1);
            EXPECT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 0));
            EXPECT_EQ(buf.substr(static_cast<std::size_t>(rsiz)), std::string(16, '\x5a'));  // nothing past rsiz
        }

        ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
        for (int k = 0; k < kCount; ++k) ASSERT_EQ(tableUpdate(t, pattern(k, 1).data()), 1);
        ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
        for (int k = 0; k < kCount; ++k) {
            ASSERT_EQ(tableNext(t, buf.data()), 1);
            ASSERT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 1));
        }
        ASSERT_EQ(tableSeek(t, REC_LAST, nullptr), 1);
        for (int k = kCount - 1; k >= 0; --k) {
            ASSERT_EQ(tablePrev(t, buf.data()), 1);
            ASSERT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 1));
        }
        EXPECT_EQ(tableFree(t), 1);
    }
    EXPECT_EQ(tableErr(9), TERR_NONE);
}
