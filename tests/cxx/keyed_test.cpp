// Keyed calls of the C++ interface: each reaches its library operation with
// the right selector, and reports the library's answer. The library's own
// results are compared with the reference model in tests/model.
#include <gtest/gtest.h>

#include <functional>

#include "records.h"
#include "test_memory.h"

using namespace cxxtest;
using morvane::Error;
using morvane::Mode;
using morvane::Select;

namespace {

// The price of a fetched record, -1 for none.
int price(const std::optional<Level> &l) { return l ? l->price : -1; }

}  // namespace

TEST(CxxKeyed, EachCallReachesItsOperationAndSelector) {
    Book book;
    std::int32_t tag = 0;
    for (std::int32_t p : {30, 10, 20}) ASSERT_TRUE(book.add({p, ++tag}));
    const struct {
        const char *what;
        std::function<int()> call;
        int want;
    } rows[] = {
        {"add of an equal key", [&] { return book.add({20, 99}); }, 0},
        {"get by key", [&] { return book.get(20)->tag; }, 3},
        {"set", [&] { return book.set({20, 77}); }, 1},
        {"get after set", [&] { return book.get(20)->tag; }, 77},
        {"set of an absent key", [&] { return book.set({25, 1}); }, 0},
        {"next: where 25 would go", [&] { return price(book.next()); }, 30},
        {"get first", [&] { return price(book.get(Select::first)); }, 10},
        {"get previous", [&] { return price(book.get(Select::previous)); }, -1},
        {"get next", [&] { return price(book.get(Select::next)); }, 20},
        {"get current", [&] { return price(book.get(Select::current)); }, 20},
        {"get last", [&] { return price(book.get(Select::last)); }, 30},
        {"get next past the end", [&] { return price(book.get(Select::next)); }, -1},
        {"seek 25", [&] { return book.seek(25); }, 0},
        {"prev", [&] { return price(book.prev()); }, 30},
        {"seek last", [&] { return book.seek(Select::last); }, 1},
        {"seek next", [&] { return book.seek(Select::next); }, 0},
        {"seek previous", [&] { return book.seek(Select::previous); }, 1},
        {"next", [&] { return price(book.next()); }, 20},
        {"seek first", [&] { return book.seek(Select::first); }, 1},
        {"at start", [&] { return book.at_start(); }, 1},
        {"get 5", [&] { return price(book.get(5)); }, -1},
        {"get 40", [&] { return price(book.get(40)); }, -1},
        {"at end", [&] { return book.at_end(); }, 1},
        {"add 15", [&] { return book.add({15, 4}); }, 1},
        {"next: the new record", [&] { return price(book.next()); }, 15},
        {"erase 20", [&] { return book.erase(20); }, 1},
        {"next: its follower", [&] { return price(book.next()); }, 30},
        {"erase 20 again", [&] { return book.erase(20); }, 0},
        {"erase last", [&] { return book.erase(Select::last); }, 1},
        {"get current: the new last", [&] { return price(book.get(Select::current)); }, 15},
        {"erase first", [&] { return book.erase(Select::first); }, 1},
        {"erase current", [&] { return book.erase(Select::current); }, 1},
        {"empty", [&] { return book.empty(); }, 1},
    };
    for (const auto &row : rows) EXPECT_EQ(row.call(), row.want) << row.what;
    EXPECT_EQ(morvane::last_error(), Error::none);  // a refused key is no error
}

TEST(CxxKeyed, EmptyTableFindsNothing) {
    Book book;
    for (Select where : {Select::first, Select::current, Select::last, Select::previous,
                         Select::next}) {
        EXPECT_FALSE(book.get(where));
        EXPECT_FALSE(book.seek(where));
        EXPECT_FALSE(book.erase(where));
    }
    EXPECT_FALSE(book.next());
    EXPECT_FALSE(book.prev());  // the library would copy a slot holding no record
    EXPECT_FALSE(book.update({10, 1}));
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
    morvane::clear_error();
    EXPECT_TRUE(book.add({51, 0}));
    EXPECT_EQ(book.size(), 101u);
}
