// The Table type: ownership of the library's table, creation failures, and
// how the key member decides the key type.
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "records.h"
#include "test_memory.h"

using namespace cxxtest;
using morvane::Error;
using morvane::Mode;
using morvane::Select;

static_assert(!std::is_copy_constructible_v<Book> && !std::is_copy_assignable_v<Book>);
static_assert(std::is_nothrow_move_constructible_v<Book> &&
              std::is_nothrow_move_assignable_v<Book>);

TEST(CxxTable, DestructorFreesTheTableAndItsId) {
    {
        Book book;
        EXPECT_EQ(book.id(), 0);
        EXPECT_TRUE(book.add({10, 1}));
        EXPECT_EQ(testmem::live_blocks(), 2);  // registry and storage
    }
    EXPECT_EQ(testmem::live_blocks(), 1);  // the registry is never released
    Book again;
    EXPECT_EQ(again.id(), 0);
    EXPECT_TRUE(again.empty());
    EXPECT_EQ(morvane::last_error(), Error::none);
}

TEST(CxxTable, MoveHandsOverTheTableOnce) {
    Book owner(Mode::duplicates);  // table 0
    const std::string text = trace_of([&] {
        Book source;  // table 1
        ASSERT_TRUE(source.add({10, 1}));
        Book middle(std::move(source));
        EXPECT_EQ(source.id(), -1);
        EXPECT_EQ(middle.id(), 1);
        owner = std::move(middle);  // frees table 0, takes table 1
        EXPECT_EQ(middle.id(), -1);
    });  // the emptied source and middle free nothing
    EXPECT_EQ(text, "");
    EXPECT_EQ(owner.id(), 1);
    EXPECT_EQ(owner.mode(), Mode::unique);
    EXPECT_EQ(owner.size(), 1u);
    EXPECT_TRUE(owner.get(10));
    EXPECT_EQ(testmem::live_blocks(), 2);
    Book next;
    EXPECT_EQ(next.id(), 0);  // the id the assignment gave up
    EXPECT_EQ(morvane::last_error(), Error::none);

    Book &alias = owner;
    owner = std::move(alias);  // a self-move keeps the table
    EXPECT_EQ(owner.id(), 1);
    EXPECT_EQ(owner.size(), 1u);
}

TEST(CxxTable, MovedFromTableFailsLikeAnInvalidId) {
    Book book;
    Book taker(std::move(book));
    const std::string text = trace_of([&] {
        EXPECT_FALSE(book.add({1, 1}));
        EXPECT_EQ(book.size(), 0u);
        EXPECT_FALSE(book.get(Select::first));
        EXPECT_FALSE(book.next());
        EXPECT_TRUE(book.at_end());
    });
    EXPECT_NE(text.find("( code = 3 )"), std::string::npos);
    EXPECT_EQ(morvane::last_error(), Error::bad_id);
    EXPECT_EQ(taker.size(), 0u);
}

TEST(CxxTable, ConstructorThrowsTheLibraryCode) {
    testmem::fail_call(2);  // the registry is made, the table's storage is not
    try {
        Book book;
        FAIL() << "no exception for table " << book.id();
    } catch (const morvane::table_error &e) {
        EXPECT_EQ(e.code(), Error::no_memory);
        EXPECT_NE(std::string(e.what()).find("code 2"), std::string::npos) << e.what();
    }
    testmem::reset();
    EXPECT_EQ(morvane::last_error(), Error::no_memory);
    EXPECT_EQ(testmem::live_blocks(), 1);
    Book book;  // reuses the slot the failed creation left free
    EXPECT_EQ(book.id(), 0);
}

TEST(CxxTable, CreateReportsTheCodeWithoutThrowing) {
    testmem::fail_call(1);  // not even the registry
    auto failed = Book::create();
    EXPECT_FALSE(failed.has_value());
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error(), Error::no_memory);
    testmem::reset();

    auto made = Words::create(Mode::duplicates, 500, 80);
    ASSERT_TRUE(made);
    EXPECT_EQ(made.error(), Error::none);
    Words words = *std::move(made);
    EXPECT_EQ(words.id(), 0);
    EXPECT_EQ(words.mode(), Mode::duplicates);
    const Definition d = definition_of(words.id());
    EXPECT_EQ(d.allcd, 500);
    EXPECT_EQ(d.rinc, 80);
}

TEST(CxxTable, KeyMemberDecidesKeyTypeAndWidth) {
    morvane::Table<Tiny, &Tiny::key> tiny;
    morvane::Table<Short, &Short::key> shorts(Mode::duplicates);
    Book book;
    Words words;
    Events events;
    const struct {
        int id;
        long long rsiz, ktyp, kmod, ftyp;
    } cases[] = {
        {tiny.id(), 2, KEY_INT, KEY_UNIQUE, 1},     {shorts.id(), 4, KEY_INT, KEY_DUPLICATES, 2},
        {book.id(), 8, KEY_INT, KEY_UNIQUE, 4},     {words.id(), 8, KEY_STRING, KEY_UNIQUE, 4},
        {events.id(), 12, KEY_USER, KEY_UNIQUE, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("table " + std::to_string(c.id));
        const Definition d = definition_of(c.id);
        EXPECT_EQ(d.rsiz, c.rsiz);
        EXPECT_EQ(d.ktyp, c.ktyp);
        EXPECT_EQ(d.kmod, c.kmod);
        if (c.ktyp == KEY_USER)
            EXPECT_NE(d.ftyp, 0);  // the address of the interface's comparison
        else
            EXPECT_EQ(d.ftyp, c.ftyp);
        EXPECT_EQ(d.allcd, 100);
        EXPECT_EQ(d.rinc, 50);
    }
}

TEST(CxxTable, TextKeysCountTheirFirstBytesOnly) {
    Words words;
    ASSERT_TRUE(words.add({{'a', 'b', 'c', 'd'}, 4}));  // all four bytes, no NUL
    ASSERT_TRUE(words.add({"abc", 3}));
    ASSERT_TRUE(words.add({"ab", 2}));
    ASSERT_TRUE(words.add({"b", 1}));
    std::vector<int> values;
    for (const Word &w : words) values.push_back(w.value);
    EXPECT_EQ(values, (std::vector<int>{2, 3, 4, 1}));

    auto found = words.get("abcdX");  // only four bytes count
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, 4);
    EXPECT_FALSE(words.add({{'a', 'b', 'c', 'd'}, 9}));
    EXPECT_EQ(words.get("ab")->value, 2);
    EXPECT_FALSE(words.get("a"));
    EXPECT_FALSE(words.get(""));
    EXPECT_TRUE(words.erase(std::string("abc")));
    EXPECT_EQ(words.size(), 3u);
}

TEST(CxxTable, CallerComparisonOrdersCompositeKeys) {
    Events events(Mode::duplicates);
    for (const Event &e : {Event{{2023, 40}, 1}, Event{{2024, 100}, 2}, Event{{2024, 3}, 3},
                           Event{{2022, 365}, 4}, Event{{2024, 3}, 5}})
        ASSERT_TRUE(events.add(e));
    // Newest year first, then by day; the two equal dates stay together in
    // the order the search put them.
    std::vector<int> ids;
    for (const Event &e : events) ids.push_back(e.id);
    const std::vector<int> a{3, 5, 2, 1, 4}, b{5, 3, 2, 1, 4};
    EXPECT_TRUE(ids == a || ids == b) << ::testing::PrintToString(ids);

    EXPECT_EQ(events.get(Date{2023, 40})->id, 1);
    EXPECT_FALSE(events.get(Date{2023, 41}));
    ids.clear();
    for (const Event &e : events.equal_range(Date{2024, 3})) ids.push_back(e.id);
    EXPECT_EQ(ids.size(), 2u);
    ids.clear();
    for (const Event &e : events.from(Date{2023, 1})) ids.push_back(e.id);
    EXPECT_EQ(ids, (std::vector<int>{1, 4}));
}
