// The C++ interface against the traps of a shared current position: walks
// with places of their own, edits inside walks, runs of equal keys, text keys
// and the layer's own refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "morvane.hpp"

namespace {

struct Level {
    std::int32_t key;
    std::int32_t tag;
};
using Book = morvane::Table<Level, &Level::key>;
using Pairs = std::vector<std::pair<int, int>>;

Book book(std::initializer_list<Level> levels, morvane::Mode mode = morvane::Mode::unique) {
    Book t(mode);
    for (const Level &l : levels) t.insert(l);
    return t;
}

template <typename Range>
Pairs walk(const Range &range) {
    Pairs out;
    for (const Level &l : range) out.push_back({l.key, l.tag});
    return out;
}

// Runs `call` and expects it to be refused with `code`, with no warning line
// and the library's sticky code untouched.
template <typename Call>
void expect_refused(Call call, morvane::Misuse code) {
    morvane::clear_error();
    testing::internal::CaptureStderr();
    try {
        call();
        ADD_FAILURE() << "not refused";
    } catch (const morvane::usage_error &e) {
        EXPECT_EQ(e.code(), code);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(morvane::last_error(), morvane::Error::none);
}

TEST(cxx_walk, NestedWalksAndKeyedCallsInsideAWalkKeepItsPlace) {
    Book t = book({{1, 0}, {2, 0}, {3, 0}});
    Pairs pairs;
    for (const Level &a : t)
        for (const Level &b : t) pairs.push_back({a.key, b.key});
    EXPECT_EQ(pairs.size(), 9u);
    Pairs seen;
    for (const Level &l : t) {  // set() used to restart here forever
        t.set({l.key, l.key * 10});
        t.get(l.key % 3 + 1);
        t.contains(7);
        seen.push_back({l.key, l.tag});
        ASSERT_LE(seen.size(), 3u);
    }
    EXPECT_EQ(seen, (Pairs{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(walk(t), (Pairs{{1, 10}, {2, 20}, {3, 30}}));
}

TEST(cxx_walk, ErasingAndInsertingInsideAWalkVisitsEachRecordOnce) {
    Book t = book({{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}});
    std::vector<int> seen;
    for (const Level &l : t) {
        seen.push_back(l.key);
        if (l.key % 2 == 0) t.erase(l.key);
        if (l.key == 5) t.erase(5);  // the last record, in hand
        if (l.key == 1) t.insert({0, 0});
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(walk(t), (Pairs{{0, 0}, {1, 0}, {3, 0}}));
    for (auto it = t.begin(); it != t.end();) it = it->key == 1 ? t.erase(it) : std::next(it);
    EXPECT_EQ(walk(t), (Pairs{{0, 0}, {3, 0}}));
    Book u = book({{1, 0}, {2, 0}, {3, 0}});
    auto back = u.erase(u.backward().first);  // a backward walk goes on at 2
    ASSERT_NE(back, u.end());
    EXPECT_EQ(u.erase(back)->key, 1);
    EXPECT_EQ(walk(u), (Pairs{{1, 0}}));
}

TEST(cxx_walk, ReplaceWritesTheRecordInHandAndKeepsItsKey) {
    Book t = book({{1, 0}, {2, 0}, {2, 0}, {3, 0}}, morvane::Mode::duplicates);
    int tag = 0;
    for (auto it = t.begin(); it != t.end(); ++it) EXPECT_TRUE(t.replace(it, {it->key, ++tag}));
    EXPECT_EQ(walk(t), (Pairs{{1, 1}, {2, 2}, {2, 3}, {3, 4}}));
    auto it = t.begin();
    expect_refused([&] { t.replace(it, {9, 0}); }, morvane::Misuse::key_changed);
    EXPECT_EQ(walk(t).front(), std::make_pair(1, 1));
}

TEST(cxx_walk, BackwardWalkEndsAtTheStartAndConstTablesWalk) {
    const Book t = book({{1, 0}, {2, 0}, {3, 0}});
    EXPECT_EQ(walk(t.backward()), (Pairs{{3, 0}, {2, 0}, {1, 0}}));
    EXPECT_EQ(walk(t), (Pairs{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_TRUE(walk(Book().backward()).empty());
}

TEST(cxx_runs, LookupsActOnWholeRunsWhateverRecordTheSearchMeets) {
    // The library stores the run of 20 as tags 2, 3, 1, and its key search
    // meets tag 3 first.
    Book t = book({{10, 0}, {30, 0}, {20, 1}, {20, 2}, {20, 3}}, morvane::Mode::duplicates);
    ASSERT_EQ(walk(t), (Pairs{{10, 0}, {20, 2}, {20, 3}, {20, 1}, {30, 0}}));
    EXPECT_EQ((Pairs{{t.get(20)->tag, t.find(20)->tag}, {t.lower_bound(15)->tag, 2}}),
              (Pairs{{2, 2}, {2, 2}}));
    EXPECT_EQ(t.upper_bound(20)->key, 30);
    EXPECT_EQ(t.count(20), 3u);
    auto [first, last] = t.equal_range(20);
    EXPECT_EQ(walk(Book::range{first, last}), (Pairs{{20, 2}, {20, 3}, {20, 1}}));
    EXPECT_EQ(t.equal_range(25).first, t.equal_range(25).second);
    EXPECT_TRUE(t.set({20, 7}));
    EXPECT_TRUE(t.erase(20));
    EXPECT_EQ(walk(t.equal_range(20)), (Pairs{{20, 3}, {20, 1}}));
    auto third = std::next(t.begin(), 2);  // the second of the run
    t.erase(20);
    EXPECT_THROW(++third, morvane::usage_error);  // its run no longer holds it
    expect_refused([&] { t.erase(t.end()); }, morvane::Misuse::stale_iterator);
}

TEST(cxx_runs, ErasingInsideARunKeepsTheWalksPlaceInIt) {
    const std::vector<Level> in{{1, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 0}};
    Book t(in.begin(), in.end(), morvane::Mode::duplicates);
    auto it = std::next(t.begin(), 1);
    EXPECT_EQ((it++)->tag, 1);  // post-increment hands back the place before
    it = t.erase(it);           // (2, 2): the walk goes on at (2, 3)
    ASSERT_EQ(it->tag, 3);
    t.get(1);  // moves the table's position: the walk must find (2, 3) again
    EXPECT_EQ(walk(Book::range{it, t.end()}), (Pairs{{2, 3}, {3, 0}}));
}

TEST(cxx_table, CreateWithoutExceptionsGivesTheFirstTableToo) {
    auto made = Book::create();  // every table freed: this one takes id 0
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->insert({1, 0}));
}

TEST(cxx_table, InsertOrAssignSizeAndClear) {
    Book t = book({{4, 0}, {6, 0}});
    EXPECT_TRUE(t.insert_or_assign({5, 1}).second);
    auto [at, inserted] = t.insert_or_assign({5, 2});
    EXPECT_EQ(std::make_pair(at->tag, inserted), std::make_pair(2, false));
    EXPECT_EQ(walk(t), (Pairs{{4, 0}, {5, 2}, {6, 0}}));
    t.clear();
    EXPECT_TRUE(t.empty() && !t.contains(5));
}

TEST(cxx_table, BulkLoadSortsOnceKeepingInputOrderOfEqualKeys) {
    const std::vector<Level> in{{5, 1}, {3, 1}, {5, 2}, {-1, 1}, {3, 2}, {3, 3}};
    EXPECT_EQ(walk(Book(in.begin(), in.end())), (Pairs{{-1, 1}, {3, 1}, {5, 1}}));
    EXPECT_EQ(walk(Book(in.begin(), in.end(), morvane::Mode::duplicates)),
              (Pairs{{-1, 1}, {3, 1}, {3, 2}, {3, 3}, {5, 1}, {5, 2}}));
}

TEST(cxx_table, TextKeysLongerThanTheFieldAreRefused) {
    struct Word {
        char text[16];
        std::int32_t value;
    };
    morvane::Table<Word, &Word::text> t;
    Word w{};
    std::memcpy(w.text, "exactly16chars!!", 16);  // no NUL: the field is full
    ASSERT_TRUE(t.insert(w));
    EXPECT_TRUE(t.contains(w.text));
    EXPECT_TRUE(t.contains(std::string("exactly16chars!!")));
    expect_refused([&] { t.get("exactly16chars!!-and-more"); }, morvane::Misuse::key_too_long);
}

}  // namespace
