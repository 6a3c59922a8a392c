// Record location: the position selectors, the binary search and the key
// comparison of each key type.
#include <climits>

#include "table_test.h"

using namespace tt;

namespace {

using StoreLocation = TableTest;

const int kKeySelectors[] = {REC_KEY, 7, 0, -7, -9, INT_MIN, INT_MAX};

std::vector<int> int_keys(int tabid, int width) {
    std::vector<int> out;
    for (const std::string &raw : raw_records(tabid)) out.push_back(get_key(raw.data(), width));
    return out;
}

// A record of an 8-byte KEY_STRING table.
std::string text(const std::string &s) { return s + std::string(8 - s.size(), '\0'); }

// KEY_USER comparisons: descending integer order, with the arguments of the
// last call kept.
const void *seen_record = nullptr;
const void *seen_key = nullptr;
int calls = 0;
int descending(const void *record, const void *key) {
    seen_record = record;
    seen_key = key;
    ++calls;
    int a, b;
    std::memcpy(&a, record, sizeof a);
    std::memcpy(&b, key, sizeof b);
    return a > b ? -1000 : a < b ? 1000 : 0;
}

// Answers at random, now and then equal.
unsigned rng = 12345;
int erratic(const void *, const void *) {
    rng = rng * 1103515245u + 12345u;
    const unsigned v = (rng >> 16) % 16;
    return v == 0 ? 0 : (v & 1u) ? 1 : -1;
}

}  // namespace

TEST_F(StoreLocation, EmptyTableFindsNothingWithAnySelector) {
    const int t = make_int();
    Rec k{10, 0};
    ASSERT_EQ(tableAdd(t, &k), 1);
    ASSERT_EQ(tableDel(t, REC_FIRST, nullptr), 1);
    std::vector<int> sels = {REC_FIRST, REC_CURRENT, REC_LAST, REC_PREV, REC_NEXT};
    sels.insert(sels.end(), std::begin(kKeySelectors), std::end(kKeySelectors));
    for (int sel : sels) {
        SCOPED_TRACE("selector " + std::to_string(sel));
        Rec buf{77, 77};
        EXPECT_EQ(tableSeek(t, sel, &buf), 0);
        EXPECT_EQ(tableGet(t, sel, &buf), 0);
        EXPECT_EQ(buf, (Rec{77, 77}));
        EXPECT_EQ(tableDel(t, sel, &buf), 0);
        EXPECT_EQ(at(t, tableSet(t, &buf)), At(0, 0));
    }
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(StoreLocation, PositionSelectorsFromEveryPosition) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    struct Case {
        int from, sel, result, cur;
    };
    const Case cases[] = {
        {0, REC_FIRST, 1, 0}, {0, REC_CURRENT, 1, 0}, {0, REC_LAST, 1, 2}, {0, REC_PREV, 0, 0}, {0, REC_NEXT, 1, 1},
        {1, REC_FIRST, 1, 0}, {1, REC_CURRENT, 1, 1}, {1, REC_LAST, 1, 2}, {1, REC_PREV, 1, 0}, {1, REC_NEXT, 1, 2},
        {2, REC_FIRST, 1, 0}, {2, REC_CURRENT, 1, 2}, {2, REC_LAST, 1, 2}, {2, REC_PREV, 1, 1}, {2, REC_NEXT, 0, 2},
        {3, REC_FIRST, 1, 0}, {3, REC_CURRENT, 1, 2}, {3, REC_LAST, 1, 2}, {3, REC_PREV, 1, 2}, {3, REC_NEXT, 0, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.from) + " selector " + std::to_string(c.sel));
        seek_key(t, c.from == 3 ? 40 : (c.from + 1) * 10);
        ASSERT_EQ(cur_of(t), c.from);
        EXPECT_EQ(seek(t, c.sel, nullptr), At(c.result, c.cur));

        // tableGet moves alike and fetches the record it lands on.
        seek_key(t, c.from == 3 ? 40 : (c.from + 1) * 10);
        Rec buf{-1, -1};
        EXPECT_EQ(tableGet(t, c.sel, &buf), c.result);
        EXPECT_EQ(cur_of(t), c.cur);
        EXPECT_EQ(buf, (c.result ? Rec{(c.cur + 1) * 10, c.cur + 1} : Rec{-1, -1}));
    }
}

TEST_F(StoreLocation, OtherSelectorValuesSearchByKey) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    for (int sel : kKeySelectors) {
        SCOPED_TRACE("selector " + std::to_string(sel));
        const Rec hit{20, 0}, miss{25, 0}, low{5, 0}, high{40, 0};
        EXPECT_EQ(seek(t, sel, &hit), At(1, 1));
        EXPECT_EQ(seek(t, sel, &miss), At(0, 2));
        EXPECT_EQ(seek(t, sel, &low), At(0, 0));
        EXPECT_EQ(seek(t, sel, &high), At(0, 3));
        Rec buf{30, 0};
        EXPECT_EQ(tableGet(t, sel, &buf), 1);
        EXPECT_EQ(buf, (Rec{30, 3}));
    }
}

TEST_F(StoreLocation, SearchStopsWhereTheHalvingMeetsTheKey) {
    struct Case {
        std::vector<int> keys;
        int key, result, cur;
    };
    const Case cases[] = {
        {{10, 20, 20, 20, 20, 20, 20, 30}, 20, 1, 4},   // middle of a run
        {{1, 2, 3, 4, 5, 6, 7, 7, 7, 7}, 7, 1, 8},      // second probe, inside the run
        {{5, 5, 5, 5, 5, 5, 5, 5, 9}, 5, 1, 4},
        {{10, 20, 20, 30}, 25, 0, 3},
        {{10, 20, 20, 30}, 15, 0, 1},
        {{10}, 10, 1, 0},
        {{10}, 11, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("searching " + std::to_string(c.key));
        const int t = make_int(KEY_DUPLICATES);
        for (int k : c.keys) {
            Rec r{k, 0};
            ASSERT_EQ(tableAdd(t, &r), 1);
        }
        ASSERT_EQ(keys(t), c.keys);
        const Rec r{c.key, 0};
        EXPECT_EQ(seek(t, REC_KEY, &r), At(c.result, c.cur));
        drop(t);
    }
}

TEST_F(StoreLocation, IntegerKeysAreSignedForEveryWidth) {
    struct Case {
        int width, rsiz;
        std::vector<int> added, sorted;
    };
    const Case cases[] = {
        {1, 2, {1, -1, 127, -128, 0}, {-128, -1, 0, 1, 127}},
        {2, 3, {32767, -1, -32768, 0, 256}, {-32768, -1, 0, 256, 32767}},
        {4, 7, {INT_MAX, INT_MIN, 0, -1, 1, INT_MIN + 1, INT_MAX - 1},
         {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("width " + std::to_string(c.width));
        // Odd record sizes leave the stored keys unaligned; the caller's
        // buffers are unaligned too.
        const int t = make(c.rsiz, KEY_INT, KEY_UNIQUE, c.width);
        alignas(8) unsigned char raw[16] = {};
        unsigned char *buf = raw + 1;
        for (int v : c.added) {
            put_key(buf, c.width, v);
            ASSERT_EQ(tableAdd(t, buf), 1) << v;
        }
        EXPECT_EQ(int_keys(t, c.width), c.sorted);
        for (std::size_t i = 0; i < c.sorted.size(); ++i) {
            put_key(buf, c.width, c.sorted[i]);
            EXPECT_EQ(seek(t, REC_KEY, buf), At(1, static_cast<int>(i)));
        }
        // Key bytes all 0xFF read as -1.
        std::memset(buf, 0xFF, 4);
        EXPECT_EQ(seek(t, REC_KEY, buf), At(1, c.width == 4 ? 2 : 1));
        drop(t);
    }
}

TEST_F(StoreLocation, TextKeysCompareAtMostTheKeyLengthAsUnsignedBytes) {
    const int t = make(8, KEY_STRING, KEY_UNIQUE, 4);
    for (const char *s : {"z", "ab", "\x80", "abc", "a\xff", "abcd123"}) {
        const std::string rec = text(s);
        ASSERT_EQ(tableAdd(t, rec.data()), 1) << s;
    }
    std::vector<std::string> want;
    for (const char *s : {"ab", "abc", "abcd123", "a\xff", "z", "\x80"}) want.push_back(text(s));
    EXPECT_EQ(raw_records(t), want);

    // Only four bytes count, and nothing after a NUL both texts hold.
    std::string rec = text("abcdXYZ");
    EXPECT_EQ(at(t, tableAdd(t, rec.data())), At(0, 2));
    rec = std::string("ab\0q", 4) + "rstu";
    EXPECT_EQ(at(t, tableAdd(t, rec.data())), At(0, 0));
    rec = text("abcc");
    EXPECT_EQ(seek(t, REC_KEY, rec.data()), At(0, 2));
    EXPECT_EQ(tableCount(t), 6);
    EXPECT_EQ(code(), TERR_NONE);
}

TEST_F(StoreLocation, UserFunctionGetsTheSlotFirstAndItsSignSteers) {
    const int t = make(8, KEY_USER, KEY_UNIQUE, reinterpret_cast<std::intptr_t>(&descending));
    for (int k : {20, 40, 10, 30}) {
        Rec r{k, k};
        ASSERT_EQ(tableAdd(t, &r), 1);
    }
    EXPECT_EQ(keys(t), (std::vector<int>{40, 30, 20, 10}));

    const Def d = def_of(t);
    const Rec key{25, 0};
    calls = 0;
    EXPECT_EQ(seek(t, REC_KEY, &key), At(0, 2));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(seen_key, static_cast<const void *>(&key));
    // The last probe was slot 1 (slot 2 sorted after the key).
    EXPECT_EQ(addr(seen_record) - d.tptr, 8);
}

TEST_F(StoreLocation, UserTableWithoutFunctionFindsNothingAndAppends) {
    const int t = make(8, KEY_USER, KEY_UNIQUE, 0);
    const int added[] = {30, 10, 30, 20};
    for (int i = 0; i < 4; ++i) {
        const Rec r{added[i], added[i]};
        EXPECT_EQ(at(t, tableAdd(t, &r)), At(1, i));
    }
    EXPECT_EQ(keys(t), (std::vector<int>{30, 10, 30, 20}));
    Rec k{10, 99};
    EXPECT_EQ(seek(t, REC_KEY, &k), At(0, 4));
    EXPECT_EQ(tableGet(t, REC_KEY, &k), 0);
    EXPECT_EQ(tableSet(t, &k), 0);
    EXPECT_EQ(tableDel(t, REC_KEY, &k), 0);
    EXPECT_EQ(k, (Rec{10, 99}));
    EXPECT_EQ(tableGet(t, REC_LAST, &k), 1);
    EXPECT_EQ(k, (Rec{20, 20}));
    EXPECT_EQ(code(), TERR_NONE);

    // At level 3 the search writes its input line and the fail line only.
    const Def d = def_of(t);
    const std::string got = at_level(3, [&] { EXPECT_EQ(tableSeek(t, REC_KEY, &k), 0); });
    EXPECT_EQ(got, entry("tableSeek", t, REC_KEY, &k) + dump(t, d) + good(t) + find_in(t, &k) +
                       fail(4) + exit_line("tableSeek", 0) + dump(t, with_cur(d, 4)));
}

TEST_F(StoreLocation, InconsistentUserFunctionNeverBreaksTheTable) {
    for (int kmod : {KEY_UNIQUE, KEY_DUPLICATES}) {
        SCOPED_TRACE("kmod " + std::to_string(kmod));
        const int t = make(8, KEY_USER, kmod, reinterpret_cast<std::intptr_t>(&erratic));
        int held = 0;
        for (int i = 0; i < 600; ++i) {
            Rec r{i, i};
            if (i < 300)
                held += tableAdd(t, &r);
            else if (tableGet(t, i, &r) == 1)
                held -= tableDel(t, REC_KEY, &r);
            const Def d = def_of(t);
            ASSERT_TRUE(d.cur >= 0 && d.cur <= d.used && d.used == held) << i;
        }
        EXPECT_GT(def_of(t).allcd, 100);
        // Every record left is one that was added, and none twice.
        std::vector<int> vals;
        for (const Rec &r : records(t)) vals.push_back(r.key == r.val ? r.val : -1);
        std::sort(vals.begin(), vals.end());
        EXPECT_EQ(std::adjacent_find(vals.begin(), vals.end()), vals.end());
        EXPECT_TRUE(vals.empty() || (vals.front() >= 0 && vals.back() < 300));
        EXPECT_EQ(static_cast<int>(vals.size()), held);
        drop(t);
    }
}
