// The C++ interface (morvane.hpp) against std::vector, for the costs its
// defaults promise:
//   cxx_append: ascending appends of 16-byte records through Table::insert,
//     with the default growth step and with a capacity hint, against
//     push_back into a vector that grows as it goes (no reserve); the
//     1000-record run's bytes_per_record shows the memory a small default
//     table holds; c_tableadd_hint makes the same appends straight through
//     tableAdd with the same hint, the floor of the C++ figures;
//   bulk_load: a table made from records in random order, against push_back
//     of the same records followed by std::sort.
// and against std::multimap and absl::btree_multimap, for what a duplicates
// table (ordered by key and arrival through the layer's comparison) costs:
//   cxx_find_run: find(k) in a table of two adjacent runs of 10^5 equal keys,
//     k - 1 and k; each find must return the first record of k's run;
//   cxx_find_distinct: find() of random keys among 2x10^5 distinct keys (the
//     unique table's figure is the one cxx_find_run is held against: at most
//     3x), also with 64-bit keys (rec16i64);
//   cxx_append_equal, cxx_append_ascending: n inserts of one key, and of
//     ascending keys, into a duplicates table (morvane_cxx_duplicates), a
//     unique one where keys differ (morvane_cxx_unique, the library's own
//     append path for 32-bit keys, the layer's comparison for 64-bit ones),
//     std::multimap::emplace_hint(end()) and absl::btree_multimap's
//     insert(end(), r); rec16i64 has 64-bit keys.
// Each run is checked: every record present, in key order, equal keys in
// insertion order, finds on the right record.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <map>

#include "absl/container/btree_map.h"
#include "cxx.h"
#include "memory.h"
#include "morvane.hpp"
#include "records.h"

namespace bench {
namespace {

using Table16 = morvane::Table<Rec16, &Rec16::key>;
using Vector16 = std::vector<Rec16, CountingAllocator<Rec16>>;

// CPU time of this thread, in seconds, as the other loads are timed.
double cpu_now() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Whether `records` holds every record of `d` in ascending key order.
template <class Range>
bool holds_all(const Range &records, const DataSet<K16> &d) {
    std::size_t count = 0;
    std::uint64_t sum = 0;
    bool ordered = true;
    std::int32_t prev = 0;
    for (const Rec16 &r : records) {
        if (count++ > 0 && r.key <= prev) ordered = false;
        prev = r.key;
        sum += K16::tag(r);
    }
    return ordered && count == d.n && sum == d.tag_sum;
}

enum class Contestant {
    table_default,
    table_hint,
    c_hint,
    vector_push_back,
    table_load,
    vector_sort
};

// Times building a container of `n` records the way `who` does; the records
// come in key order for the appends and in random order for the loads.
void build(benchmark::State &st, const std::string &name, std::size_t n, Contestant who) {
    const DataSet<K16> &d = data_set<K16>(n);
    double bytes = 0;
    for (auto _ : st) {
        std::optional<Table16> table;
        std::optional<Vector16> vec;
        const std::size_t before = live_bytes();
        const double t0 = cpu_now();
        switch (who) {
            case Contestant::table_default:
            case Contestant::table_hint:
                table.emplace(who == Contestant::table_hint ? static_cast<int>(n) : 100);
                for (const Rec16 &r : d.sorted) table->insert(r);
                break;
            case Contestant::c_hint:
                // The Table holds the id; the appends skip its layer.
                table.emplace(static_cast<int>(n));
                for (const Rec16 &r : d.sorted) tableAdd(table->id(), &r);
                break;
            case Contestant::table_load:
                table.emplace(d.input.begin(), d.input.end());
                break;
            case Contestant::vector_push_back:
            case Contestant::vector_sort:
                vec.emplace();
                for (const Rec16 &r : who == Contestant::vector_sort ? d.input : d.sorted)
                    vec->push_back(r);
                if (who == Contestant::vector_sort)
                    std::sort(vec->begin(), vec->end(),
                              [](const Rec16 &a, const Rec16 &b) { return a.key < b.key; });
                break;
        }
        const double t1 = cpu_now();
        st.SetIterationTime(t1 - t0);
        bytes = static_cast<double>(live_bytes() - before);
        if (!(table ? holds_all(*table, d) : holds_all(*vec, d))) {
            std::fprintf(stderr, "CHECK FAILED: %s: records missing or out of order\n",
                         name.c_str());
            st.SkipWithError("records missing or out of order");
            break;
        }
    }
    st.counters["ops"] = static_cast<double>(n);
    st.counters["bytes_per_record"] = bytes / static_cast<double>(n);
}

void add(bool quick, const char *workload, const char *who_name, std::size_t n, Contestant who) {
    const std::string name =
        std::string(workload) + "/" + K16::name + "/" + who_name + "/" + std::to_string(n);
    auto *b = benchmark::RegisterBenchmark(name.c_str(),
                                           [=](benchmark::State &st) { build(st, name, n, who); });
    b->Unit(benchmark::kNanosecond)->UseManualTime();
    if (quick) b->MinTime(0.01);
}

// ---- Duplicates tables against the std and absl multimaps ----

// 16-byte records with a 32-bit key (rec16) and a 64-bit key (rec16i64),
// and the tag the checks read.
struct RecNarrow {
    std::int32_t key;
    std::int32_t tag;
    std::int32_t pad[2];
};
struct RecWide {
    std::int64_t key;
    std::int32_t tag;
    std::int32_t pad;
};

template <class Rec>
using Dup = morvane::Table<Rec, &Rec::key, morvane::Mode::duplicates>;
template <class Rec>
using Unique = morvane::Table<Rec, &Rec::key>;

enum class Multi { morvane_dup, morvane_unique, std_multimap, absl_multimap };

const char *multi_name(Multi who) {
    switch (who) {
        case Multi::morvane_dup:
            return "morvane_cxx_duplicates";
        case Multi::morvane_unique:
            return "morvane_cxx_unique";
        case Multi::std_multimap:
            return "std_multimap";
        case Multi::absl_multimap:
            return "absl_btree_multimap";
    }
    return "";
}

// One contestant holding records of type Rec: the same calls on each.
template <class Rec>
struct Holder {
    using K = decltype(Rec::key);
    Multi who;
    std::optional<Dup<Rec>> dup;
    std::optional<Unique<Rec>> unique;
    std::multimap<K, Rec> stdm;
    absl::btree_multimap<K, Rec> abslm;

    explicit Holder(Multi w) : who(w) {
        if (who == Multi::morvane_dup) dup.emplace();
        if (who == Multi::morvane_unique) unique.emplace();
    }
    void append(const Rec &r) {
        switch (who) {
            case Multi::morvane_dup:
                dup->insert(r);
                break;
            case Multi::morvane_unique:
                unique->insert(r);
                break;
            case Multi::std_multimap:
                stdm.emplace_hint(stdm.end(), r.key, r);
                break;
            case Multi::absl_multimap:
                abslm.insert(abslm.end(), {r.key, r});
                break;
        }
    }
    // The tag of the first record with key k, or -1.
    std::int32_t find(K k) const {
        switch (who) {
            case Multi::morvane_dup: {
                auto it = dup->find(k);
                return it == dup->end() ? -1 : it->tag;
            }
            case Multi::morvane_unique: {
                auto it = unique->find(k);
                return it == unique->end() ? -1 : it->tag;
            }
            case Multi::std_multimap: {
                auto it = stdm.find(k);
                return it == stdm.end() ? -1 : it->second.tag;
            }
            case Multi::absl_multimap: {
                auto it = abslm.find(k);
                return it == abslm.end() ? -1 : it->second.tag;
            }
        }
        return -1;
    }
    // Every record in (key, tag) order and how many.
    bool ordered(std::size_t n) const {
        std::size_t count = 0;
        bool ok = true;
        Rec prev{};
        const auto see = [&](const Rec &r) {
            if (count++ > 0 && (r.key < prev.key || (r.key == prev.key && r.tag <= prev.tag)))
                ok = false;
            prev = r;
        };
        if (dup)
            for (const Rec &r : *dup) see(r);
        if (unique)
            for (const Rec &r : *unique) see(r);
        for (const auto &kv : stdm) see(kv.second);
        for (const auto &kv : abslm) see(kv.second);
        return ok && count == n;
    }
};

bool fail(benchmark::State &st, const std::string &name, const char *what) {
    std::fprintf(stderr, "CHECK FAILED: %s: %s\n", name.c_str(), what);
    st.SkipWithError(what);
    return false;
}

// n appends, of one key (`equal`) or of ascending keys, timed as a whole.
template <class Rec>
void appends(benchmark::State &st, const std::string &name, std::size_t n, bool equal, Multi who) {
    for (auto _ : st) {
        Holder<Rec> h(who);
        const double t0 = cpu_now();
        for (std::size_t i = 0; i < n; ++i) {
            Rec r{};
            r.key = equal ? 7 : static_cast<decltype(r.key)>(i) * 3 - 1000;
            r.tag = static_cast<std::int32_t>(i);
            h.append(r);
        }
        st.SetIterationTime(cpu_now() - t0);
        if (!h.ordered(n) && !fail(st, name, "records missing or out of order")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
}

constexpr std::size_t kFinds = 4096;

// Finds in two adjacent runs of `run` equal keys (`distinct` false), or of
// random keys among 2 x `run` distinct keys.
template <class Rec>
void finds(benchmark::State &st, const std::string &name, std::size_t run, bool distinct,
           Multi who) {
    Holder<Rec> h(who);
    std::vector<Rec> all(2 * run);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i].key = distinct ? static_cast<decltype(all[i].key)>(i) * 2 : (i < run ? 9 : 10);
        all[i].tag = static_cast<std::int32_t>(i);
    }
    if (who == Multi::morvane_dup)
        h.dup.emplace(all.begin(), all.end());
    else if (who == Multi::morvane_unique)
        h.unique.emplace(all.begin(), all.end());
    else
        for (const Rec &r : all) h.append(r);
    std::vector<std::size_t> which(kFinds);
    std::mt19937_64 gen(42);
    for (std::size_t &w : which) w = distinct ? static_cast<std::size_t>(gen() % all.size()) : run;
    for (auto _ : st) {
        std::int64_t sum = 0;
        for (const std::size_t w : which) sum += h.find(all[w].key);
        benchmark::DoNotOptimize(sum);
        std::int64_t want = 0;
        for (const std::size_t w : which) want += all[w].tag;
        if (sum != want && !fail(st, name, "a find missed the first record of its run")) break;
    }
    st.counters["ops"] = static_cast<double>(kFinds);
}

template <class Rec>
void add_multi(bool quick, const char *workload, const char *kind, std::size_t n, Multi who,
               void (*fn)(benchmark::State &, const std::string &, std::size_t, bool, Multi),
               bool flag) {
    const std::string name = std::string(workload) + "/" + kind + "/" + multi_name(who) + "/" +
                             std::to_string(fn == &finds<Rec> ? 2 * n : n);
    auto *b = benchmark::RegisterBenchmark(
        name.c_str(), [=](benchmark::State &st) { fn(st, name, n, flag, who); });
    if (fn == &appends<Rec>) b->UseManualTime();
    b->Unit(benchmark::kNanosecond);
    if (quick) b->MinTime(0.01);
}

void register_multi(bool quick) {
    const Multi all[] = {Multi::morvane_dup, Multi::morvane_unique, Multi::std_multimap,
                         Multi::absl_multimap};
    const std::size_t run = quick ? 10000 : 100000, n = quick ? 10000 : 1000000;
    for (const Multi who : all) {
        if (who != Multi::morvane_unique)
            add_multi<RecNarrow>(quick, "cxx_find_run", "rec16", run, who, &finds<RecNarrow>,
                                 false);
        add_multi<RecNarrow>(quick, "cxx_find_distinct", "rec16", run, who, &finds<RecNarrow>,
                             true);
        add_multi<RecWide>(quick, "cxx_find_distinct", "rec16i64", run, who, &finds<RecWide>, true);
        if (who != Multi::morvane_unique)
            add_multi<RecNarrow>(quick, "cxx_append_equal", "rec16", n, who, &appends<RecNarrow>,
                                 true);
        add_multi<RecNarrow>(quick, "cxx_append_ascending", "rec16", n, who, &appends<RecNarrow>,
                             false);
        add_multi<RecWide>(quick, "cxx_append_ascending", "rec16i64", n, who, &appends<RecWide>,
                           false);
    }
}

}  // namespace

void register_cxx(bool quick) {
    const std::vector<std::size_t> sizes =
        quick ? std::vector<std::size_t>{1000, 10000} : std::vector<std::size_t>{1000, 1000000};
    for (const std::size_t n : sizes) {
        add(quick, "cxx_append", "morvane_cxx_default", n, Contestant::table_default);
        add(quick, "cxx_append", "morvane_cxx_hint", n, Contestant::table_hint);
        add(quick, "cxx_append", "c_tableadd_hint", n, Contestant::c_hint);
        add(quick, "cxx_append", "vector_push_back_no_reserve", n, Contestant::vector_push_back);
    }
    const std::size_t n = sizes.back();
    add(quick, "bulk_load", "morvane_cxx", n, Contestant::table_load);
    add(quick, "bulk_load", "vector_sort", n, Contestant::vector_sort);
    register_multi(quick);
}

}  // namespace bench
