// Memory-failure tests: each script runs with every memory service call of
// its operations failing in turn (see oom_script.h), in a process of its
// own so that the first table is the process's first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>

#include "morvane.h"
#include "observe.h"
#include "oom_script.h"
#include "sequence.h"
#include "test_memory.h"

namespace {

// Keys 0 .. n-1 in a shuffled order, so that growth happens with the
// insertion point anywhere in the table.
std::vector<int> shuffled_keys(int n, unsigned seed) {
    std::vector<int> keys(static_cast<std::size_t>(n));
    std::iota(keys.begin(), keys.end(), 0);
    std::mt19937 rng(seed);
    for (std::size_t i = keys.size(); i > 1; --i) std::swap(keys[i - 1], keys[rng() % i]);
    return keys;
}

void report(const OomScript &s) {
    ::testing::Test::RecordProperty("failure_points", static_cast<int>(s.points()));
    std::printf("memory-failure points tested: %ld\n", s.points());
}

TEST(ModelOom, FirstTable) {
    observe::QuietStderr quiet;
    OomScript s;
    const int first = s.create(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);  // registry, then storage
    EXPECT_EQ(first, 0);
    for (int k : {30, 10, 20}) s.add(first, int_record(k, k));
    EXPECT_EQ(s.create(12, KEY_STRING, KEY_DUPLICATES, 6, 100, 50), 1);
    s.free(first);
    EXPECT_EQ(s.create(4, KEY_INT, KEY_DUPLICATES, 2, 0, 0), 0);  // the freed slot
    EXPECT_EQ(s.points(), 4);
    report(s);
    s.free_all();
}

TEST(ModelOom, HundredFirstTable) {
    observe::QuietStderr quiet;
    OomScript s;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(s.create(8, KEY_INT, KEY_UNIQUE, 4, 0, 0), i);
        s.add(i, int_record(i, i));
    }
    EXPECT_EQ(s.create(8, KEY_INT, KEY_DUPLICATES, 4, 0, 0), 100);  // grows the registry
    EXPECT_EQ(s.create(8, KEY_INT, KEY_DUPLICATES, 4, 0, 0), 101);
    s.free(42);
    EXPECT_EQ(s.create(8, KEY_INT, KEY_UNIQUE, 4, 0, 0), 42);
    // registry and storage for the first; one storage call for the others,
    // and both calls for the 101st
    EXPECT_EQ(s.points(), 2 + 99 + 2 + 1 + 1);
    report(s);
    s.free_all();
}

TEST(ModelOom, StorageGrowth) {
    observe::QuietStderr quiet;
    OomScript s;
    const int ints = s.create(8, KEY_INT, KEY_UNIQUE, 4, 100, 50);
    for (int k : shuffled_keys(260, 1)) s.add(ints, int_record(k * 3, k));  // 100 -> 150 -> 200 -> 250 -> 300
    const int texts = s.create(10, KEY_STRING, KEY_DUPLICATES, 3, 0, 0);
    for (int k : shuffled_keys(160, 2)) {
        model::Bytes r(10, '\0');
        r[0] = static_cast<char>('a' + k % 5);
        r[1] = static_cast<char>('a' + k % 3);
        std::memcpy(&r[4], &k, 4);
        s.add(texts, r);
    }
    const int users = s.create(4, KEY_USER, KEY_DUPLICATES, reinterpret_cast<std::intptr_t>(&compare_desc16), 120, 60);
    for (int k : shuffled_keys(190, 3)) {
        model::Bytes r(4, '\0');
        r[0] = static_cast<char>(k % 7);
        r[2] = static_cast<char>(k);
        s.add(users, r);
    }
    EXPECT_EQ(s.growths(), 4 + 2 + 2);
    EXPECT_EQ(s.points(), 2 + 1 + 1 + s.growths());  // the first table: registry and storage
    report(s);
    s.free_all();
}

TEST(ModelOom, GrowthWhileManyTablesExist) {
    observe::QuietStderr quiet;
    OomScript s;
    std::vector<int> ids;
    for (int i = 0; i < 112; ++i) {
        ids.push_back(s.create(8, KEY_INT, i % 2 == 0 ? KEY_UNIQUE : KEY_DUPLICATES, 4, 0, 0));
        for (int k = 0; k < 3; ++k) s.add(ids.back(), int_record(k * 7 + i, i));
    }
    // Fourteen tables spread over the registry grow twice, in turns.
    const auto keys = shuffled_keys(160, 4);
    for (std::size_t n = 0; n < keys.size(); ++n)
        for (std::size_t t = 5; t < ids.size(); t += 8) s.add(ids[t], int_record(keys[n] * 11 + 1, static_cast<int>(n)));
    EXPECT_EQ(s.growths(), 14 * 2);
    EXPECT_EQ(s.points(), 2 + 111 + 1 + s.growths());
    report(s);
    s.free_all();
}

}  // namespace
