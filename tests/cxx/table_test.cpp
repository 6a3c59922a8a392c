// The Table type: ownership of the library's table, creation failures, and
// how the key member decides the key type.
#include <gtest/gtest.h>

#include <climits>
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
    const Definition t = definition_of(tiny.id());
    const Definition s = definition_of(shorts.id());
    const Definition b = definition_of(book.id());
    const Definition w = definition_of(words.id());
    const Definition e = definition_of(events.id());
    EXPECT_EQ(t.rsiz, 2);
    EXPECT_EQ(t.ktyp, KEY_INT);
    EXPECT_EQ(t.ftyp, 1);
    EXPECT_EQ(s.rsiz, 4);
    EXPECT_EQ(s.ftyp, 2);
    EXPECT_EQ(s.kmod, KEY_DUPLICATES);
    EXPECT_EQ(b.rsiz, 8);
    EXPECT_EQ(b.ktyp, KEY_INT);
    EXPECT_EQ(b.ftyp, 4);
    EXPECT_EQ(b.kmod, KEY_UNIQUE);
    EXPECT_EQ(w.rsiz, 8);
    EXPECT_EQ(w.ktyp, KEY_STRING);
    EXPECT_EQ(w.ftyp, 4);
    EXPECT_EQ(e.rsiz, 12);
    EXPECT_EQ(e.ktyp, KEY_USER);
    EXPECT_NE(e.ftyp, 0);
    EXPECT_EQ(b.allcd, 100);
    EXPECT_EQ(b.rinc, 50);
}

TEST(CxxTable, IntegerKeysSortAsSignedValues) {
    morvane::Table<Tiny, &Tiny::key> tiny;
    for (std::int8_t k : std::initializer_list<std::int8_t>{0, 127, -1, -128, 1}) ASSERT_TRUE(tiny.add({k, 'x'}));
    std::vector<int> seen;
    for (const Tiny &r : tiny) seen.push_back(r.key);
    EXPECT_EQ(seen, (std::vector<int>{-128, -1, 0, 1, 127}));

    morvane::Table<Short, &Short::key> shorts;
    for (std::int16_t k : std::initializer_list<std::int16_t>{SHRT_MAX, -300, SHRT_MIN, 300}) ASSERT_TRUE(shorts.add({k, 0}));
    seen.clear();
    for (const Short &r : shorts) seen.push_back(r.key);
    EXPECT_EQ(seen, (std::vector<int>{SHRT_MIN, -300, 300, SHRT_MAX}));

    Book book;
    for (std::int32_t k : {INT_MAX, 0, INT_MIN, -1}) ASSERT_TRUE(book.add({k, 0}));
    EXPECT_EQ(prices_of(book), (std::vector<std::int32_t>{INT_MIN, -1, 0, INT_MAX}));
    EXPECT_TRUE(book.get(INT_MIN));
    EXPECT_FALSE(book.get(INT_MIN + 1));
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
    ASSERT_TRUE(events.add({{2023, 40}, 1}));
    ASSERT_TRUE(events.add({{2024, 100}, 2}));
    ASSERT_TRUE(events.add({{2024, 3}, 3}));
    ASSERT_TRUE(events.add({{2022, 365}, 4}));
    ASSERT_TRUE(events.add({{2024, 3}, 5}));
    std::vector<int> ids;
    for (const Event &e : events) ids.push_back(e.id);
    ASSERT_EQ(ids.size(), 5u);
    // Newest year first, then by day; the two equal dates stay together.
    EXPECT_EQ(ids[2], 2);
    EXPECT_EQ(ids[3], 1);
    EXPECT_EQ(ids[4], 4);
    EXPECT_TRUE((ids[0] == 3 && ids[1] == 5) || (ids[0] == 5 && ids[1] == 3));

    auto found = events.get(Date{2023, 40});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, 1);
    EXPECT_FALSE(events.get(Date{2023, 41}));
    ids.clear();
    for (const Event &e : events.equal_range(Date{2024, 3})) ids.push_back(e.id);
    EXPECT_EQ(ids.size(), 2u);
    ids.clear();
    for (const Event &e : events.from(Date{2023, 1})) ids.push_back(e.id);
    EXPECT_EQ(ids, (std::vector<int>{1, 4}));
}
