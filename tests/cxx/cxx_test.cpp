// The C++ interface, first against std::multimap (std::map for a unique
// table): random sequences of calls on both, step by step: insertions,
// erasures by key, by iterator and by range, lookups, walks in both
// directions, nested walks, edits made inside walks, moves and swaps. After
// every step both must hold the same records in the same order, and every
// answer must agree; MORVANE_SEED and MORVANE_SEEDS choose other sequences.
// Then where that comparison does not reach: key types, what a table stores,
// the layer's refusals, moved-from tables and proxy iterators.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "morvane.hpp"
#include "test_memory.h"

namespace {

struct Level {
    std::int32_t price;
    std::int32_t qty;
};
using Book = morvane::Table<Level, &Level::price, morvane::Mode::duplicates>;
using Pairs = std::vector<std::pair<int, int>>;

std::pair<int, int> of(const Level &l) { return {l.price, l.qty}; }
std::pair<int, int> of(const std::pair<const int, int> &kv) { return kv; }
// The record an iterator of either names, or {-1, -1} at the end.
template <typename It>
std::pair<int, int> at(It it, It end) {
    return it == end ? std::pair<int, int>{-1, -1} : of(*it);
}

template <typename Range>
Pairs walk(const Range &range) {
    Pairs out;
    for (const Level &l : range) out.push_back(of(l));
    return out;
}

// Drives one Table and its model through `steps` random calls.
template <typename Table, typename Model>
class Run {
public:
    Run(unsigned seed) : gen_(seed) {}

    void go(int steps) {
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            const unsigned op = pick(12);
            trail_ += std::to_string(op) + " ";
            SCOPED_TRACE(trail_);
            static constexpr void (Run::*kSteps[])() = {
                &Run::insert,       &Run::insert,      &Run::erase_key,   &Run::erase_at,
                &Run::lookups,      &Run::walk_backward, &Run::nested,    &Run::walk_editing,
                &Run::move_around,  &Run::erase_range, &Run::reverse_editing, &Run::stale};
            (this->*kSteps[op])();
            ASSERT_EQ(walk(t_), Pairs(m_.begin(), m_.end()));
            ASSERT_EQ(t_.size(), m_.size());
        }
    }

private:
    static constexpr bool kDup = !std::is_same_v<Model, std::map<int, int>>;

    unsigned pick(unsigned n) { return static_cast<unsigned>(gen_() % n); }
    int key() { return static_cast<int>(pick(7)); }


    typename Table::iterator nth(std::size_t i) const { return std::next(t_.begin(), static_cast<long>(i)); }
    typename Model::iterator nth_model(std::size_t i) { return std::next(m_.begin(), static_cast<long>(i)); }

    // Inserts a record in both; the answers must name the same record.
    void insert() {
        const int k = key(), tag = ++tag_;
        const auto r = t_.insert({k, tag});
        const auto mr = m_.insert({k, tag});
        if constexpr (kDup) {
            EXPECT_EQ(at(r, t_.end()), at(mr, m_.end()));
        } else {
            EXPECT_EQ(r.second, mr.second);
            EXPECT_EQ(at(r.first, t_.end()), at(mr.first, m_.end()));
        }
    }


    void erase_key() {
        const int k = key();
        EXPECT_EQ(t_.erase(k), m_.erase(k));
    }

    void erase_at() {
        if (m_.empty()) return;
        const std::size_t i = pick(static_cast<unsigned>(m_.size()));
        auto it = t_.erase(nth(i));
        auto mit = m_.erase(nth_model(i));
        EXPECT_EQ(at(it, t_.end()), at(mit, m_.end()));
    }

    void erase_range() {
        const std::size_t n = m_.size(), i = pick(static_cast<unsigned>(n + 1));
        const std::size_t j = i + pick(static_cast<unsigned>(n - i + 1));
        auto it = t_.erase(nth(i), j == n ? t_.end() : nth(j));
        auto mit = m_.erase(nth_model(i), nth_model(j));
        EXPECT_EQ(at(it, t_.end()), at(mit, m_.end()));
    }

    void lookups() {
        const int k = key();
        const Table &t = t_;
        EXPECT_EQ(at(t.find(k), t.end()), at(m_.find(k), m_.end()));
        EXPECT_EQ(at(t.lower_bound(k), t.end()), at(m_.lower_bound(k), m_.end()));
        EXPECT_EQ(at(t.upper_bound(k), t.end()), at(m_.upper_bound(k), m_.end()));
        EXPECT_EQ(t.count(k), m_.count(k));
        EXPECT_EQ(t.contains(k), m_.count(k) > 0);
        auto [first, last] = t.equal_range(k);
        auto [mfirst, mlast] = m_.equal_range(k);
        EXPECT_EQ(std::distance(first, last), std::distance(mfirst, mlast));
        EXPECT_EQ(at(last, t.end()), at(mlast, m_.end()));
        EXPECT_EQ(t.get(k) ? t.get(k)->qty : -1, at(m_.find(k), m_.end()).second);  // the first of a run
        if (!m_.empty()) {
            EXPECT_EQ(at(std::prev(t.end()), t.end()), at(std::prev(m_.end()), m_.end()));
            EXPECT_EQ(t.front()->qty, m_.begin()->second);
            EXPECT_EQ(t.back()->qty, std::prev(m_.end())->second);
        }
    }

    void walk_backward() {
        EXPECT_EQ(walk(std::vector<Level>(t_.rbegin(), t_.rend())), Pairs(m_.rbegin(), m_.rend()));
        // Back and forth from a record in the middle.
        if (m_.size() < 2) return;
        const std::size_t i = 1 + pick(static_cast<unsigned>(m_.size() - 1));
        auto it = nth(i);
        auto mit = nth_model(i);
        --it, --mit;
        EXPECT_EQ(at(it, t_.end()), at(mit, m_.end()));
        ++it, ++mit;
        EXPECT_EQ(at(it++, t_.end()), at(mit++, m_.end()));
        EXPECT_EQ(at(it, t_.end()), at(mit, m_.end()));
    }

    void nested() {
        Pairs pairs, model;
        for (const Level &a : t_)
            for (auto b = t_.rbegin(); b != t_.rend(); ++b) pairs.push_back({a.qty, b->qty});
        for (const auto &a : m_)
            for (auto b = m_.rbegin(); b != m_.rend(); ++b) model.push_back({a.second, b->second});
        EXPECT_EQ(pairs, model);
    }

    // A forward walk in both, with calls on the table inside it.
    void walk_editing() {
        auto it = t_.begin();
        auto mit = m_.begin();
        for (int guard = 0; guard < 200; ++guard) {
            ASSERT_EQ(at(it, t_.end()), at(mit, m_.end()));
            if (mit == m_.end()) return;
            const unsigned what = pick(8);
            if (what == 0) {
                it = t_.erase(it);
                mit = m_.erase(mit);
                continue;
            }
            if (what == 1) {
                const int tag = ++tag_;
                ASSERT_TRUE(t_.replace(it, {mit->first, tag}));
                mit->second = tag;
            } else if (what == 2 && tag_ % 3 != 0) {
                insert();  // maybe the walked key
            } else if (what == 3) {
                const int k = key();
                if (k == mit->first) continue;  // would invalidate both
                EXPECT_EQ(t_.erase(k), m_.erase(k));
            } else if (what == 4) {
                lookups();
            }
            ++it, ++mit;
        }
    }

    // A walk through std::reverse_iterator that rewrites and erases.
    void reverse_editing() {
        for (auto r = t_.rbegin(); r != t_.rend();) {
            const Level rec = *r;
            const std::size_t from_end = static_cast<std::size_t>(std::distance(t_.rbegin(), r));
            auto mr = std::next(m_.rbegin(), static_cast<long>(from_end));
            EXPECT_EQ(of(rec), of(*mr));
            if (pick(4) == 0) {
                r = typename Table::reverse_iterator(t_.erase(std::next(r).base()));
                m_.erase(std::next(mr).base());
            } else {
                t_.replace(std::prev(r.base()), {rec.price, rec.qty + 1000});
                mr->second = rec.qty + 1000;
                ++r;
            }
        }
    }

    // Iterators follow their records through moves and swaps.
    void move_around() {
        if (m_.empty()) return;
        const std::size_t i = pick(static_cast<unsigned>(m_.size()));
        auto it = nth(i);
        const auto before = at(it, t_.end());
        Table other = std::move(t_);
        t_ = std::move(other);
        Table empty;
        swap(t_, empty);
        swap(empty, t_);
        EXPECT_EQ(at(it, t_.end()), before);
        EXPECT_EQ(at(std::next(it), t_.end()), at(std::next(nth_model(i)), m_.end()));  // or both at the end
    }

    // An iterator whose record is gone is refused, never silently moved.
    void stale() {
        if (m_.empty()) return;
        const std::size_t i = pick(static_cast<unsigned>(m_.size()));
        auto it = nth(i);
        auto copy = it;
        t_.erase(it);
        m_.erase(nth_model(i));
        EXPECT_THROW(t_.erase(copy), morvane::usage_error);
        EXPECT_THROW(++copy, morvane::usage_error);
        EXPECT_THROW(*copy, morvane::usage_error);
        EXPECT_THROW(++t_.end(), morvane::usage_error);
        EXPECT_THROW(--t_.begin(), morvane::usage_error);
    }

    std::mt19937 gen_;
    Table t_;
    Model m_;
    int tag_ = 0;
    std::string trail_;
};

template <typename Table, typename Model>
void run_seeds() {
    const char *first = std::getenv("MORVANE_SEED"), *count = std::getenv("MORVANE_SEEDS");
    const unsigned from = first ? static_cast<unsigned>(std::atoi(first)) : 1;
    const unsigned n = count ? static_cast<unsigned>(std::atoi(count)) : 60;
    for (unsigned seed = from; seed < from + n && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Run<Table, Model>(seed).go(120);
    }
}

TEST(cxx_model, DuplicatesTableAnswersAsStdMultimap) {
    run_seeds<Book, std::multimap<int, int>>();
}

TEST(cxx_model, UniqueTableAnswersAsStdMap) {
    run_seeds<morvane::Table<Level, &Level::price>, std::map<int, int>>();
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

// Ranges keep the order of equal keys (a unique table the first of them, as
// std::map does); an iterator whose record is gone is refused, never moved on.
TEST(cxx_runs, RangesKeepTheirOrderAndIteratorsWhoseRecordIsGoneAreRefused) {
    const std::vector<Level> in{{5, 1}, {3, 1}, {5, 2}, {-1, 1}, {3, 2}, {3, 3}};
    Book book(in.begin(), in.end());
    EXPECT_EQ(walk(book), (Pairs{{-1, 1}, {3, 1}, {3, 2}, {3, 3}, {5, 1}, {5, 2}}));
    morvane::Table<Level, &Level::price> unique(in.begin(), in.end());
    EXPECT_EQ(walk(unique), (Pairs{{-1, 1}, {3, 1}, {5, 1}}));
    struct Name { char key[2]; char n; };  // text keys take the comparison sort
    const std::vector<Name> names{{"b", 1}, {"a", 1}, {"b", 2}, {"a", 2}};
    std::string order;
    using Names = morvane::Table<Name, &Name::key, morvane::Mode::duplicates>;
    for (const Name &x : Names(names.begin(), names.end())) order += {x.key[0], char('0' + x.n)};
    EXPECT_EQ(order, "a1a2b1b2");
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
    std::vector<Book> books(1);
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

// A unique table stays readable from C and its iterators read records as
// they are now; a duplicates table says what it stores besides the record.
TEST(cxx_table, UniqueTablesStayReadableFromCAndReplaceKeepsTheKey) {
    morvane::Table<Level, &Level::price> unique;
    auto [it, inserted] = unique.insert_or_assign({7, 1});
    EXPECT_TRUE(inserted && !unique.insert_or_assign({7, 70}).second);
    EXPECT_EQ(it->qty, 70);
    Level out{7, 0};
    EXPECT_TRUE(tableGet(unique.id(), REC_KEY, &out) == 1 && out.qty == 70);
    expect_refused([&] { unique.replace(it, {6, 0}); }, morvane::Misuse::key_changed);
    EXPECT_TRUE(unique.replace(it, {7, 3}));
    EXPECT_EQ(walk(unique), (Pairs{{7, 3}}));
    EXPECT_EQ(unique.stored_record_size(), static_cast<int>(sizeof(Level)));
    EXPECT_EQ(Book::stored_record_size(), static_cast<int>(sizeof(Level) + 8));
    EXPECT_TRUE(unique.key_comp()(1, 2) && !unique.key_comp()(2, 2));
}

// An insertion the memory service refuses moves the table's position (to
// where the record would have gone) and changes nothing else: an iterator
// steps on from its own record, in either mode.
TEST(cxx_table, AnInsertionRefusedForMemoryLeavesIteratorsOnTheirRecords) {
    auto check = [](auto table, auto refused) {
        for (int p = 0; p < 100; ++p) table.insert({2 * p, p});
        auto it = table.find(100);
        testmem::fail_call(1, true);
        EXPECT_TRUE(refused(table, table.insert({21, 0})));
        testmem::stop_failing();
        EXPECT_EQ(morvane::last_error(), morvane::Error::no_memory);
        EXPECT_TRUE(table.size() == 100 && (++it)->price == 102);
    };
    check(Book{}, [](const Book &t, Book::iterator r) { return r == t.end(); });
    using Unique = morvane::Table<Level, &Level::price>;
    check(Unique{}, [](const Unique &t, std::pair<Unique::iterator, bool> r) { return r.first == t.end() && !r.second; });
}

}  // namespace
