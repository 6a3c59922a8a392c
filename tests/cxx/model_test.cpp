// Random sequences of calls on a Table and on std::multimap (std::map for a
// unique table), step by step: insertions, erasures by key, by iterator and
// by range, lookups, walks in both directions, nested walks, edits made
// inside walks, moves and swaps. After every step both must hold the same
// records in the same order, and every answer must agree.
// MORVANE_SEED and MORVANE_SEEDS choose other sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "morvane.hpp"

namespace {

struct Rec {
    std::int32_t key;
    std::int32_t tag;
};
using Pairs = std::vector<std::pair<int, int>>;

std::pair<int, int> of(const Rec &r) { return {r.key, r.tag}; }
std::pair<int, int> of(const std::pair<const int, int> &kv) { return kv; }
// The record an iterator of either names, or {-1, -1} at the end.
template <typename It>
std::pair<int, int> at(It it, It end) {
    return it == end ? std::pair<int, int>{-1, -1} : of(*it);
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
            ASSERT_EQ(content(), expected());
            ASSERT_EQ(t_.size(), m_.size());
        }
    }

private:
    static constexpr bool kDup = !std::is_same_v<Model, std::map<int, int>>;

    unsigned pick(unsigned n) { return static_cast<unsigned>(gen_() % n); }
    int key() { return static_cast<int>(pick(7)); }

    Pairs content() const {
        Pairs out;
        for (const Rec &r : t_) out.push_back({r.key, r.tag});
        return out;
    }
    Pairs expected() const { return Pairs(m_.begin(), m_.end()); }

    typename Table::iterator nth(std::size_t i) const { return std::next(t_.begin(), static_cast<long>(i)); }
    typename Model::iterator nth_model(std::size_t i) { return std::next(m_.begin(), static_cast<long>(i)); }

    // Inserts a record in both; the answers must name the same record.
    void insert_both(int k) {
        const int tag = ++tag_;
        const auto r = t_.insert({k, tag});
        const auto mr = m_.insert({k, tag});
        if constexpr (kDup) {
            EXPECT_EQ(at(r, t_.end()), at(mr, m_.end()));
        } else {
            EXPECT_EQ(r.second, mr.second);
            EXPECT_EQ(at(r.first, t_.end()), at(mr.first, m_.end()));
        }
    }

    void insert() { insert_both(key()); }

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
        auto last = j == n ? t_.end() : nth(j);
        auto it = t_.erase(nth(i), last);
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
        EXPECT_EQ(t.get(k) ? t.get(k)->tag : -1, at(m_.find(k), m_.end()).second);  // the first of a run
        if (!m_.empty()) {
            EXPECT_EQ(at(std::prev(t.end()), t.end()), at(std::prev(m_.end()), m_.end()));
            EXPECT_EQ(t.front()->tag, m_.begin()->second);
            EXPECT_EQ(t.back()->tag, std::prev(m_.end())->second);
        }
    }

    void walk_backward() {
        Pairs down;
        for (auto r = t_.rbegin(); r != t_.rend(); ++r) down.push_back({r->key, (*r).tag});
        EXPECT_EQ(down, Pairs(m_.rbegin(), m_.rend()));
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
        for (const Rec &a : t_)
            for (auto b = t_.rbegin(); b != t_.rend(); ++b) pairs.push_back({a.tag, b->tag});
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
                insert_both(key());  // maybe the walked key
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
            const Rec rec = *r;
            const std::size_t from_end = static_cast<std::size_t>(std::distance(t_.rbegin(), r));
            auto mr = std::next(m_.rbegin(), static_cast<long>(from_end));
            EXPECT_EQ(std::make_pair(rec.key, rec.tag), std::make_pair(mr->first, mr->second));
            if (pick(4) == 0) {
                r = typename Table::reverse_iterator(t_.erase(std::next(r).base()));
                m_.erase(std::next(mr).base());
            } else {
                t_.replace(std::prev(r.base()), {rec.key, rec.tag + 1000});
                mr->second = rec.tag + 1000;
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
        EXPECT_TRUE(t_.empty() && t_.begin() == t_.end() && !t_.contains(0));
        t_ = std::move(other);
        Table empty;
        swap(t_, empty);
        swap(empty, t_);
        EXPECT_EQ(at(it, t_.end()), before);
        if (it != std::prev(t_.end())) {
            EXPECT_EQ(at(std::next(it), t_.end()), at(std::next(nth_model(i)), m_.end()));
        }
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
    run_seeds<morvane::Table<Rec, &Rec::key, morvane::Mode::duplicates>, std::multimap<int, int>>();
}

TEST(cxx_model, UniqueTableAnswersAsStdMap) {
    run_seeds<morvane::Table<Rec, &Rec::key>, std::map<int, int>>();
}

}  // namespace
