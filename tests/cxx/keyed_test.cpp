// Keyed calls of the C++ interface: add, set, get, seek and erase by key and
// by selector, and where each leaves the table's position.
#include <gtest/gtest.h>

#include "records.h"
#include "test_memory.h"

using namespace cxxtest;
using morvane::Error;
using morvane::Mode;
using morvane::Select;

namespace {

Book book_of(std::initializer_list<std::int32_t> prices, Mode mode = Mode::unique) {
    Book book(mode);
    std::int32_t tag = 0;
    for (std::int32_t p : prices) EXPECT_TRUE(book.add({p, ++tag}));
    return book;
}

}  // namespace

TEST(CxxKeyed, AddKeepsKeyOrderAndRefusesDuplicatesOfUniqueTables) {
    Book book = book_of({30, 10, 20});
    EXPECT_EQ(prices_of(book), (std::vector<std::int32_t>{10, 20, 30}));
    EXPECT_FALSE(book.add({20, 99}));
    EXPECT_EQ(book.size(), 3u);
    EXPECT_EQ(book.get(20)->tag, 3);
    EXPECT_EQ(morvane::last_error(), Error::none);  // a refused key is no error

    Book dups = book_of({30, 10, 20}, Mode::duplicates);
    EXPECT_TRUE(dups.add({20, 99}));
    EXPECT_EQ(prices_of(dups), (std::vector<std::int32_t>{10, 20, 20, 30}));
}

TEST(CxxKeyed, AddLeavesThePositionOnTheNewRecord) {
    Book book = book_of({10, 20, 30});
    ASSERT_TRUE(book.add({15, 7}));
    auto here = book.next();
    ASSERT_TRUE(here);
    EXPECT_EQ(here->price, 15);
    EXPECT_EQ(book.next()->price, 20);
}

TEST(CxxKeyed, SetReplacesTheWholeRecordWithAnEqualKey) {
    Book book = book_of({10, 20, 30});
    EXPECT_TRUE(book.set({20, 77}));
    EXPECT_EQ(book.get(20)->tag, 77);
    EXPECT_EQ(book.size(), 3u);
    EXPECT_FALSE(book.set({25, 1}));
    EXPECT_EQ(book.size(), 3u);
    // The failed search left the position where 25 would go: before 30.
    EXPECT_EQ(book.next()->price, 30);
}

TEST(CxxKeyed, GetBySelectorMovesThePosition) {
    Book book = book_of({10, 20, 30});
    EXPECT_EQ(book.get(Select::first)->price, 10);
    EXPECT_FALSE(book.get(Select::previous));
    EXPECT_EQ(book.get(Select::next)->price, 20);
    EXPECT_EQ(book.get(Select::current)->price, 20);
    EXPECT_EQ(book.get(Select::last)->price, 30);
    EXPECT_FALSE(book.get(Select::next));
    EXPECT_EQ(book.get(Select::previous)->price, 20);
    // Past the end, current names the last record.
    while (book.next()) {
    }
    EXPECT_TRUE(book.at_end());
    EXPECT_EQ(book.get(Select::current)->price, 30);
    EXPECT_FALSE(book.at_end());
}

TEST(CxxKeyed, GetByKeyFindsOrReportsNothing) {
    Book book = book_of({10, 20, 30});
    auto found = book.get(30);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->price, 30);
    EXPECT_EQ(found->tag, 3);
    EXPECT_FALSE(book.get(5));
    EXPECT_EQ(book.next()->price, 10);
    EXPECT_FALSE(book.get(40));
    EXPECT_TRUE(book.at_end());
}

TEST(CxxKeyed, SeekPositionsWithoutCopying) {
    Book book = book_of({10, 20, 30});
    EXPECT_TRUE(book.seek(20));
    EXPECT_EQ(book.next()->price, 20);
    EXPECT_FALSE(book.seek(25));
    EXPECT_EQ(book.next()->price, 30);
    EXPECT_TRUE(book.seek(Select::last));
    EXPECT_FALSE(book.seek(Select::next));
    EXPECT_TRUE(book.seek(Select::previous));
    EXPECT_EQ(book.next()->price, 20);
    EXPECT_TRUE(book.seek(Select::first));
    EXPECT_TRUE(book.at_start());
}

TEST(CxxKeyed, EraseByKeyAndBySelector) {
    Book book = book_of({10, 20, 30, 40});
    EXPECT_TRUE(book.erase(20));
    EXPECT_EQ(book.next()->price, 30);  // the follower of the erased record
    EXPECT_FALSE(book.erase(20));
    EXPECT_TRUE(book.erase(Select::last));
    EXPECT_EQ(book.get(Select::current)->price, 30);  // the new last record
    EXPECT_TRUE(book.erase(Select::first));
    EXPECT_EQ(prices_of(book), (std::vector<std::int32_t>{30}));
    EXPECT_TRUE(book.erase(Select::current));
    EXPECT_TRUE(book.empty());
    EXPECT_FALSE(book.erase(Select::current));
    EXPECT_EQ(morvane::last_error(), Error::none);
}

TEST(CxxKeyed, EmptyTableFindsNothing) {
    Book book;
    for (Select where : {Select::first, Select::current, Select::last, Select::previous,
                         Select::next}) {
        EXPECT_FALSE(book.get(where));
        EXPECT_FALSE(book.seek(where));
        EXPECT_FALSE(book.erase(where));
    }
    EXPECT_FALSE(book.get(10));
    EXPECT_FALSE(book.seek(10));
    EXPECT_FALSE(book.erase(10));
    EXPECT_FALSE(book.set({10, 1}));
    EXPECT_FALSE(book.next());
    EXPECT_FALSE(book.prev());  // the library would copy a slot holding no record
    EXPECT_FALSE(book.update({10, 1}));
    EXPECT_TRUE(book.at_start());
    EXPECT_TRUE(book.at_end());
    EXPECT_TRUE(prices_of(book).empty());
    EXPECT_TRUE(prices_of(book.backward()).empty());
    EXPECT_TRUE(prices_of(book.from(0)).empty());
    EXPECT_TRUE(prices_of(book.equal_range(0)).empty());
    EXPECT_EQ(morvane::last_error(), Error::none);
}

TEST(CxxKeyed, AddFailsCleanlyWhenStorageCannotGrow) {
    Book book;  // room for 100 records
    for (std::int32_t p = 1; p <= 100; ++p) ASSERT_TRUE(book.add({p * 2, p}));
    testmem::fail_call(1);
    EXPECT_FALSE(book.add({51, 0}));
    testmem::reset();
    EXPECT_EQ(morvane::last_error(), Error::no_memory);
    EXPECT_EQ(book.size(), 100u);
    std::int32_t expect = 2;
    for (const Level &l : book) {
        EXPECT_EQ(l.price, expect);
        expect += 2;
    }
    morvane::clear_error();
    EXPECT_TRUE(book.add({51, 0}));
    EXPECT_EQ(book.size(), 101u);
    EXPECT_EQ(morvane::last_error(), Error::none);
}
