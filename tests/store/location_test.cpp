// Record location: where the binary search stops in runs of equal keys,
// and what a caller's comparison function is given and may get wrong. The
// selectors and the key comparisons of every key type are compared with the
// reference model in tests/model.
#include "table_test.h"

using namespace tt;

namespace {

using StoreLocation = TableTest;

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

TEST_F(StoreLocation, TableLargerThanTheCachesSearchesAlike) {
    // 40000 records of 8 bytes: above the size from which the search
    // fetches ahead.
    const int t = make_int(KEY_UNIQUE);
    for (int i = 0; i < 40000; ++i) {
        Rec r{2 * i, i};
        ASSERT_EQ(tableAdd(t, &r), 1);
    }
    for (int k : {0, 1, 2, 12345, 24690, 79997, 79998, 79999, -1}) {
        const Rec r{k, 0};
        EXPECT_EQ(seek(t, REC_KEY, &r), At(k >= 0 && k % 2 == 0 ? 1 : 0, k < 0 ? 0 : (k + 1) / 2)) << k;
    }
    drop(t);
}

TEST_F(StoreLocation, TextKeysEndAtTheirFirstNul) {
    // Bytes after a NUL do not count, whichever eight-byte word holds it.
    for (const char *text : {"ab", "0123456789"}) {
        SCOPED_TRACE(text);
        const int t = make(16, KEY_STRING, KEY_UNIQUE, 16);
        char stored[16], sought[16];
        std::memset(stored, 'z', sizeof stored);
        std::memset(sought, 'a', sizeof sought);
        std::memcpy(stored, text, std::strlen(text) + 1);
        std::memcpy(sought, text, std::strlen(text) + 1);
        ASSERT_EQ(tableAdd(t, stored), 1);
        EXPECT_EQ(tableSeek(t, REC_KEY, sought), 1);
        drop(t);
    }
}
