// The C++ interface where the randomized comparison with std::multimap
// (model_test.cpp) does not reach: key types, what a table stores, the
// layer's refusals, moved-from tables and proxy iterators.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "morvane.hpp"

namespace {

struct Level {
    std::int32_t price;
    std::int32_t qty;
};
using Book = morvane::Table<Level, &Level::price, morvane::Mode::duplicates>;
using Pairs = std::vector<std::pair<int, int>>;

template <typename Range>
Pairs walk(const Range &range) {
    Pairs out;
    for (const Level &l : range) out.push_back({l.price, l.qty});
    return out;
}

// Runs `call` and expects it to be refused with `code`, with no line on
// standard error and the library's sticky code untouched.
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
    EXPECT_EQ(morvane::last_misuse(), code);
}

// Each key type's table walks its keys in the order std::map gives them.
template <typename K>
void expect_std_order(std::vector<K> keys) {
    struct Rec {
        K key;
        int tag;
    };
    const std::set<K> model(keys.begin(), keys.end());
    morvane::Table<Rec, &Rec::key> unique;
    morvane::Table<Rec, &Rec::key, morvane::Mode::duplicates> dup;
    std::vector<K> got, got_dup;
    for (const K k : keys) unique.insert({k, 0}), dup.insert({k, 0});
    for (const Rec &r : unique) got.push_back(r.key);
    for (const Rec &r : dup) got_dup.push_back(r.key);
    EXPECT_EQ(got, std::vector<K>(model.begin(), model.end()));
    EXPECT_EQ(got_dup, got);
    EXPECT_TRUE(unique.contains(keys.front()) && dup.contains(keys.back()));
}

enum class Side : std::uint8_t { bid = 1, ask = 200 };
enum Plain : std::int64_t { low = -5, high = std::numeric_limits<std::int64_t>::max() };

TEST(cxx_keys, EveryIntegerWidthSignAndEnumSortsAsStdMapSortsIt) {
    expect_std_order<std::int8_t>({127, -128, 0, -1});
    expect_std_order<std::uint8_t>({255, 0, 128, 1});
    expect_std_order<std::int16_t>({32767, -32768, 0});
    expect_std_order<std::uint16_t>({65535, 0, 32768});
    expect_std_order<std::int32_t>({INT32_MAX, INT32_MIN, -1, 0});
    expect_std_order<std::uint32_t>({UINT32_MAX, 0, 0x80000000u, 1});
    expect_std_order<std::int64_t>({INT64_MAX, INT64_MIN, -1, 0, 1LL << 40});
    expect_std_order<std::uint64_t>({UINT64_MAX, 0, 1ULL << 63, 1});
    expect_std_order<Side>({Side::ask, Side::bid});
    expect_std_order<Plain>({high, low});
}

TEST(cxx_keys, TextKeysLongerThanTheFieldAreRefused) {
    struct Word {
        char text[16];
        std::int32_t value;
    };
    morvane::Table<Word, &Word::text> t;
    Word w{};
    std::memcpy(w.text, "exactly16chars!!", 16);  // no NUL: the field is full
    ASSERT_TRUE(t.insert(w).second);
    EXPECT_TRUE(t.contains(w.text) && t.contains(std::string("exactly16chars!!")));
    expect_refused([&] { t.find("exactly16chars!!-and-more"); }, morvane::Misuse::key_too_long);
}

TEST(cxx_store, UniqueTablesStayReadableFromCAndDuplicatesTablesSayWhatTheyStore) {
    morvane::Table<Level, &Level::price> unique;
    unique.insert({7, 70});
    Level out{7, 0};
    EXPECT_EQ(tableGet(unique.id(), REC_KEY, &out), 1);
    EXPECT_EQ(out.qty, 70);
    EXPECT_EQ(unique.stored_record_size(), static_cast<int>(sizeof(Level)));
    EXPECT_EQ(Book::stored_record_size(), static_cast<int>(sizeof(Level) + 8));
    EXPECT_TRUE(unique.key_comp()(1, 2) && !unique.key_comp()(2, 2));
}

// Ranges keep the order of equal keys (a unique table the first of them, as
// std::map does); an iterator whose record is gone is refused, never moved on.
TEST(cxx_runs, RangesKeepTheirOrderAndIteratorsWhoseRecordIsGoneAreRefused) {
    const std::vector<Level> in{{5, 1}, {3, 1}, {5, 2}, {-1, 1}, {3, 2}, {3, 3}};
    Book book(in.begin(), in.end());
    EXPECT_EQ(walk(book), (Pairs{{-1, 1}, {3, 1}, {3, 2}, {3, 3}, {5, 1}, {5, 2}}));
    morvane::Table<Level, &Level::price> unique(in.begin(), in.end());
    EXPECT_EQ(walk(unique), (Pairs{{-1, 1}, {3, 1}, {5, 1}}));
    auto kept = book.find(3);
    book.erase(3);  // its own key
    expect_refused([&] { ++kept; }, morvane::Misuse::stale_iterator);
    EXPECT_EQ(book.erase(-1) + book.erase(5), 3u);
    book.insert({103, 3});  // the table was empty
    book.insert({104, 4});
    auto gone = book.insert({105, 5});
    book.erase(std::prev(book.end()));
    const auto first = book.begin();
    expect_refused([&] { ++gone; }, morvane::Misuse::stale_iterator);  // its search moves away
    EXPECT_EQ(std::next(first)->price, 104);
}

TEST(cxx_iterators, ProxyIteratorsServeReverseIteratorAndSurviveATablesMove) {
    static_assert(std::is_same_v<std::iterator_traits<Book::iterator>::iterator_category,
                                 std::bidirectional_iterator_tag>);
    std::vector<Book> books;
    books.emplace_back();
    for (int p : {3, 1, 2}) books[0].insert({p, p * 10});
    auto last = std::prev(books[0].end());
    const auto rev = std::make_reverse_iterator(last);
    for (int i = 0; i < 40; ++i) books.emplace_back();  // moves books[0]
    EXPECT_EQ(last->qty, 30);
    EXPECT_EQ(rev->qty, 20);
    EXPECT_EQ(walk(std::vector<Level>(books[0].rbegin(), books[0].rend())),
              (Pairs{{3, 30}, {2, 20}, {1, 10}}));
    EXPECT_EQ(books[0].erase(last), books[0].end());
    expect_refused([&] { books[0].erase(std::next(books[0].begin()), books[0].begin()); },
                   morvane::Misuse::stale_iterator);
    EXPECT_EQ(books[0].size(), 2u);
    expect_refused([&] { books[1].erase(books[0].begin()); }, morvane::Misuse::stale_iterator);
}

TEST(cxx_table, AMovedFromTableIsEmptyAndSilentRefusesWritesAndTakesAssignment) {
    Book t;
    t.insert({1, 1});
    Book other = std::move(t);
    morvane::clear_error();
    testing::internal::CaptureStderr();
    const bool empty = t.empty() && t.size() == 0 && t.begin() == t.end() && !t.contains(1) &&
                       t.find(1) == t.end() && !t.front() && t.count(1) == 0 && t.id() == -1;
    t.clear();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(empty);
    EXPECT_EQ(morvane::last_error(), morvane::Error::none);
    expect_refused([&] { t.insert({2, 2}); }, morvane::Misuse::no_table);
    expect_refused([&] { t.erase(1); }, morvane::Misuse::no_table);
    t = std::move(other);
    EXPECT_EQ(walk(t), (Pairs{{1, 1}}));
}

TEST(cxx_table, ReplaceKeepsTheKeyAndCreateMakesATableWithoutThrowing) {
    auto made = morvane::Table<Level, &Level::price>::create();
    ASSERT_TRUE(made);
    auto t = *std::move(made);
    auto [it, inserted] = t.insert_or_assign({5, 1});
    EXPECT_TRUE(inserted && !t.insert_or_assign({5, 2}).second);
    EXPECT_EQ(it->qty, 2);  // the iterator reads the record as it is now
    expect_refused([&] { t.replace(it, {6, 0}); }, morvane::Misuse::key_changed);
    EXPECT_TRUE(t.replace(it, {5, 3}));
    EXPECT_EQ(walk(t), (Pairs{{5, 3}}));
}

}  // namespace
