// Walks of the C++ interface: range-for, from(), equal_range(), backward(),
// next()/prev()/update(), and the one position they all share.
#include <gtest/gtest.h>

#include <iterator>

#include "records.h"

using namespace cxxtest;
using morvane::Mode;
using morvane::Select;
using Prices = std::vector<std::int32_t>;

namespace {

// Adds `prices` in order with tags 1, 2, 3, ...
void fill(Book &book, std::initializer_list<std::int32_t> prices) {
    std::int32_t tag = 0;
    for (std::int32_t p : prices) ASSERT_TRUE(book.add({p, ++tag}));
}

// Keys 5, 7, 7, 7, 7, 7, 9 (tags 1, five of 10 to 14, 2).
Book run_of_sevens() {
    Book book(Mode::duplicates);
    fill(book, {5, 9});
    for (std::int32_t tag = 10; tag < 15; ++tag) EXPECT_TRUE(book.add({7, tag}));
    return book;
}

// The tags of the records with key 7, in table order, from a full walk.
Prices sevens_in_order(Book &book) {
    Prices tags;
    for (const Level &l : book) {
        if (l.price == 7) tags.push_back(l.tag);
    }
    return tags;
}

}  // namespace

TEST(CxxWalk, RangeForVisitsEveryRecordInKeyOrder) {
    Book book;
    fill(book, {50, 10, 40, 20, 30});
    ASSERT_TRUE(book.seek(40));  // a walk starts from the first record wherever the position is
    EXPECT_EQ(prices_of(book), (Prices{10, 20, 30, 40, 50}));
    EXPECT_TRUE(book.at_end());
    EXPECT_EQ(prices_of(book), (Prices{10, 20, 30, 40, 50}));  // and can be repeated

    auto it = book.begin();
    ASSERT_NE(it, book.end());
    EXPECT_EQ(it->price, 10);
    auto before = it++;
    EXPECT_EQ(before->price, 10);
    EXPECT_EQ((*it).price, 20);
    EXPECT_EQ(std::distance(it, book.end()), 4);
}

TEST(CxxWalk, BackwardVisitsEveryRecordOnceFromTheLast) {
    Book book;
    fill(book, {20});
    EXPECT_EQ(prices_of(book.backward()), (Prices{20}));
    fill(book, {40, 10, 30});
    EXPECT_EQ(prices_of(book.backward()), (Prices{40, 30, 20, 10}));
    EXPECT_TRUE(book.at_start());
    EXPECT_TRUE(book.seek(Select::first));
    EXPECT_EQ(prices_of(book.backward()), (Prices{40, 30, 20, 10}));
}

// from() starts at the first key not below its argument. In 5, 7, 7, 7, 7,
// 7, 9 a search for 7 meets slot 3 first, in the middle of the run, and
// from() steps back to the run's first record.
TEST(CxxWalk, FromStartsAtTheFirstKeyNotBelow) {
    Book book;
    fill(book, {10, 20, 30});
    const struct {
        std::int32_t key;
        Prices want;
    } cases[] = {{5, {10, 20, 30}}, {10, {10, 20, 30}}, {25, {30}}, {30, {30}}, {31, {}}};
    for (const auto &c : cases) EXPECT_EQ(prices_of(book.from(c.key)), c.want) << c.key;

    Book run = run_of_sevens();
    ASSERT_TRUE(run.seek(7));
    ASSERT_EQ(run.get(Select::previous)->price, 7);  // the search did land mid-run
    Prices expected = sevens_in_order(run);
    expected.push_back(2);
    EXPECT_EQ(tags_of(run.from(7)), expected);
    EXPECT_EQ(tags_of(run.from(6)), expected);
    EXPECT_EQ(tags_of(run.from(8)), (Prices{2}));
}

// equal_range() visits the whole run and nothing else, wherever the search
// lands in it and at either end of the table, and leaves the position on the
// first record after the run.
TEST(CxxWalk, EqualRangeVisitsTheWholeRunAndNothingElse) {
    Book book = run_of_sevens();
    const Prices sevens = sevens_in_order(book);
    ASSERT_EQ(sevens.size(), 5u);
    EXPECT_EQ(tags_of(book.equal_range(7)), sevens);
    EXPECT_EQ(book.next()->price, 9);
    EXPECT_EQ(tags_of(book.equal_range(5)), (Prices{1}));
    EXPECT_EQ(tags_of(book.equal_range(9)), (Prices{2}));
    EXPECT_TRUE(book.at_end());
    EXPECT_TRUE(tags_of(book.equal_range(6)).empty());
    EXPECT_TRUE(tags_of(book.equal_range(10)).empty());

    Book head(Mode::duplicates);  // 7, 7, 7, 7, 9
    for (std::int32_t tag = 1; tag <= 4; ++tag) ASSERT_TRUE(head.add({7, tag}));
    ASSERT_TRUE(head.add({9, 5}));
    const Prices run = tags_of(head.from(7));
    ASSERT_EQ(run.size(), 5u);
    EXPECT_EQ(tags_of(head.equal_range(7)), Prices(run.begin(), run.end() - 1));

    Book tail(Mode::duplicates);  // 1, 7, 7, 7, 7
    ASSERT_TRUE(tail.add({1, 1}));
    for (std::int32_t tag = 2; tag <= 5; ++tag) ASSERT_TRUE(tail.add({7, tag}));
    EXPECT_EQ(tags_of(tail.equal_range(7)).size(), 4u);
    EXPECT_TRUE(tail.at_end());
}

TEST(CxxWalk, UpdateRewritesRecordsInPlace) {
    Book book;
    fill(book, {10, 20, 30});
    ASSERT_TRUE(book.seek(Select::first));
    while (!book.at_end()) {
        Level level = *book.get(Select::current);
        level.tag *= 100;
        ASSERT_TRUE(book.update(level));
    }
    EXPECT_FALSE(book.update({40, 0}));
    EXPECT_EQ(tags_of(book), (Prices{100, 200, 300}));
}

TEST(CxxWalk, KeyedCallsInsideAWalkMoveIt) {
    Book book;
    fill(book, {10, 20, 30, 40, 50});
    Prices seen;
    for (const Level &l : book) {
        seen.push_back(l.price);
        if (l.price == 20) {
            ASSERT_TRUE(book.get(40));  // the walk goes on from 40
        }
    }
    EXPECT_EQ(seen, (Prices{10, 20, 40, 50}));

    seen.clear();
    for (const Level &l : book) {
        seen.push_back(l.price);
        if (l.price == 20) {
            ASSERT_TRUE(book.erase(20));  // its follower comes next
        }
    }
    EXPECT_EQ(seen, (Prices{10, 20, 30, 40, 50}));
    EXPECT_EQ(prices_of(book), (Prices{10, 30, 40, 50}));

    seen.clear();
    for (const Level &l : book) {
        seen.push_back(l.price);
        if (l.price == 50) {
            ASSERT_TRUE(book.erase(50));  // back to the new last record
        }
    }
    EXPECT_EQ(seen, (Prices{10, 30, 40, 50, 40}));
}

TEST(CxxWalk, TwoWalksShareOnePosition) {
    Book book;
    fill(book, {10, 20, 30, 40});
    auto outer = book.begin();  // holds 10
    auto inner = book.begin();  // restarts the same position: holds 10 too
    ++outer;                    // takes 20 from the shared position
    ++inner;                    // takes 30
    ++outer;                    // takes 40
    EXPECT_EQ(outer->price, 40);
    EXPECT_EQ(inner->price, 30);
    ++inner;
    EXPECT_EQ(inner, book.end());
    EXPECT_TRUE(book.at_end());
}
