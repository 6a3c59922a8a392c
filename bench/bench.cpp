// morvane-bench: the same workloads on a morvane table, on the containers a
// user would otherwise pick, and on the plain loops that bound what any
// sorted contiguous table can do. Every contestant's work is checked (records
// found, counts, order, tags); a failed check marks the benchmark as an error
// and makes the program exit with status 1.
//
//   morvane-bench [--quick] [benchmark flags...]
//
// --quick runs small sizes briefly, so that continuous integration can keep
// the program working; without it the full suite runs.
//
// Benchmark names are <workload>/<record kind>/<contestant>/<record count>.
// Each reports the counter `ops` (operations in one iteration: the time per
// operation is the iteration's CPU time divided by it) and, for the loads,
// `bytes_per_record` (bytes held by the container after the load, counted at
// the allocator). Loads and deletions measure only their own work, in thread
// CPU time, and report it as manual time; the other workloads report it as
// CPU time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "contestants.h"
#include "cxx.h"
#include "memory.h"
#include "morvane.h"
#include "records.h"

namespace bench {
namespace {

// Loads and deletions time themselves with the CPU clock of this thread, as
// Google Benchmark times the per-operation loops: on a busy machine, time
// spent running other processes does not count; on an idle one it equals
// wall time.
struct Clock {
    using time_point = double;  // seconds
    static time_point now() noexcept {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
    }
};

int g_failures = 0;

// Records a failed check: the benchmark reports the error, the program's exit
// status becomes 1. Returns `ok`.
bool check(benchmark::State &st, const std::string &bench, bool ok, const char *what) {
    if (ok) return true;
    ++g_failures;
    std::fprintf(stderr, "CHECK FAILED: %s: %s\n", bench.c_str(), what);
    if (!st.error_occurred()) st.SkipWithError(what);
    return false;
}

double seconds(Clock::time_point a, Clock::time_point b) { return b - a; }

// True when `c` holds exactly the records of `d`, in ascending key order.
template <class K, class C>
bool holds_all_sorted(C &c, const DataSet<K> &d) {
    std::size_t count = 0;
    std::uint64_t sum = 0;
    bool ordered = true;
    typename K::Key prev{};
    c.for_each([&](const typename K::Rec &r) {
        const auto k = K::key_of(r);
        if (count > 0 && !K::less(prev, k)) ordered = false;
        prev = k;
        ++count;
        sum += K::tag(r);
    });
    return ordered && count == d.n && sum == d.tag_sum && c.size() == d.n;
}

// The sum of the tags the first `iters` lookups must find.
template <class K>
std::uint64_t expected_tags(const DataSet<K> &d, std::size_t iters) {
    std::uint64_t all = 0, part = 0;
    const std::size_t probes = d.lookups.size(), rest = iters % probes;
    for (std::size_t j = 0; j < probes; ++j) {
        if (j == rest) part = all;
        all += d.lookups[j].tag;
    }
    return (iters / probes) * all + part;
}

// Lookup of present keys in random order; each found record is copied out
// and its tag summed.
// The container a lookup benchmark searches, loaded once and kept: Google
// Benchmark runs a benchmark several times to settle its iteration count and
// once per repetition, and loading 10^7 records each time would dominate
// the run. Null when the load failed.
template <class C, class K>
C *loaded(std::size_t n) {
    static std::map<std::size_t, std::unique_ptr<C>> cache;
    auto &slot = cache[n];
    if (!slot) {
        const auto &d = data_set<K>(n);
        auto c = std::make_unique<C>(static_cast<int>(n), 50);
        if (!c->ok() || !c->load_sorted(d.sorted) || c->size() != n) return nullptr;
        slot = std::move(c);
    }
    return slot.get();
}

template <class C, class K>
void lookup(benchmark::State &st, const std::string &name, std::size_t n) {
    using Rec = typename K::Rec;
    const auto &d = data_set<K>(n);
    C *const loaded_c = loaded<C, K>(n);
    if (!check(st, name, loaded_c != nullptr, "setup load failed")) return;
    C &c = *loaded_c;
    const std::size_t probes = d.lookups.size();
    std::size_t i = 0, found = 0;
    std::uint64_t sum = 0;
    for (auto _ : st) {
        Rec q{};
        K::set_key(q, d.lookups[i].key);
        if (c.find(q)) {
            ++found;
            sum += K::tag(q);
        }
        if (++i == probes) i = 0;
    }
    const auto iters = static_cast<std::size_t>(st.iterations());
    check(st, name, found == iters, "a present key was not found");
    check(st, name, sum == expected_tags(d, iters), "a lookup returned the wrong record");
    st.counters["ops"] = 1;
}

// The bound for lookups: std::lower_bound over a plain array of the same
// records, then the same copy-out.
template <class K>
void lookup_limit(benchmark::State &st, const std::string &name, std::size_t n) {
    using Rec = typename K::Rec;
    using Key = typename K::Key;
    const auto &d = data_set<K>(n);
    std::unique_ptr<Rec[]> arr(new Rec[n]);
    std::memcpy(arr.get(), d.sorted.data(), n * sizeof(Rec));
    const Rec *const first = arr.get();
    const Rec *const last = first + n;
    const std::size_t probes = d.lookups.size();
    std::size_t i = 0, found = 0;
    std::uint64_t sum = 0;
    for (auto _ : st) {
        Rec q{};
        K::set_key(q, d.lookups[i].key);
        const Key k = K::key_of(q);
        const Rec *it = std::lower_bound(first, last, k,
                                         [](const Rec &r, const Key &key) { return K::rec_less(&r, key); });
        if (it != last && K::rec_equal(it, k)) {
            q = *it;
            ++found;
            sum += K::tag(q);
        }
        if (++i == probes) i = 0;
    }
    const auto iters = static_cast<std::size_t>(st.iterations());
    check(st, name, found == iters, "a present key was not found");
    check(st, name, sum == expected_tags(d, iters), "a lookup returned the wrong record");
    st.counters["ops"] = 1;
}

// Inserting every record of `order` into an empty container; the time covers
// making the container and the insertions. Afterwards the container must
// hold every record in key order.
template <class C, class K>
void load(benchmark::State &st, const std::string &name, std::size_t n, bool ascending, int recs,
          int rinc) {
    using Rec = typename K::Rec;
    const auto &d = data_set<K>(n);
    const std::vector<Rec> &order = ascending ? d.sorted : d.input;
    double bytes_per_record = 0;
    for (auto _ : st) {
        std::optional<C> c;
        const std::size_t before = live_bytes();
        const auto t0 = Clock::now();
        c.emplace(recs, rinc);
        bool ok = c->ok();
        for (const Rec &r : order)
            if (!c->insert(r)) ok = false;
        const auto t1 = Clock::now();
        st.SetIterationTime(seconds(t0, t1));
        bytes_per_record = static_cast<double>(live_bytes() - before) / static_cast<double>(n);
        if (!check(st, name, ok, "an insertion failed")) break;
        if (!check(st, name, holds_all_sorted<K>(*c, d), "records missing or out of order")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
    st.counters["bytes_per_record"] = bytes_per_record;
}

// The bound for loads: the bytes each insertion must move (the records
// behind the insertion point, one slot up) and the record stored, in a
// buffer that is already large enough. No search, no growth.
template <class K>
void load_limit(benchmark::State &st, const std::string &name, std::size_t n, bool ascending) {
    using Rec = typename K::Rec;
    constexpr std::size_t rsiz = sizeof(Rec);
    const auto &d = data_set<K>(n);
    const std::vector<Rec> &order = ascending ? d.sorted : d.input;
    std::vector<std::uint32_t> pos = d.insert_pos;
    if (ascending)
        for (std::size_t k = 0; k < n; ++k) pos[k] = static_cast<std::uint32_t>(k);
    std::unique_ptr<unsigned char[]> buf(new unsigned char[n * rsiz]);
    std::memset(buf.get(), 0, n * rsiz);
    unsigned char *const base = buf.get();
    for (auto _ : st) {
        const auto t0 = Clock::now();
        for (std::size_t k = 0; k < n; ++k) {
            unsigned char *at = base + std::size_t{pos[k]} * rsiz;
            std::memmove(at + rsiz, at, (k - pos[k]) * rsiz);
            std::memcpy(at, &order[k], rsiz);
        }
        const auto t1 = Clock::now();
        st.SetIterationTime(seconds(t0, t1));
        benchmark::ClobberMemory();
        if (!check(st, name, std::memcmp(base, d.sorted.data(), n * rsiz) == 0,
                   "records out of order"))
            break;
    }
    st.counters["ops"] = static_cast<double>(n);
    st.counters["bytes_per_record"] = static_cast<double>(rsiz);
}

// A forward walk over every record, summing tags; timed whole.
template <class C, class K>
void walk(benchmark::State &st, const std::string &name, std::size_t n) {
    const auto &d = data_set<K>(n);
    C c(static_cast<int>(n), 50);
    if (!check(st, name, c.ok() && c.load_sorted(d.sorted) && c.size() == n, "setup load failed"))
        return;
    for (auto _ : st) {
        std::size_t count = 0;
        std::uint64_t sum = 0;
        c.for_each([&](const typename K::Rec &r) {
            ++count;
            sum += K::tag(r);
        });
        if (!check(st, name, count == n && sum == d.tag_sum, "walk missed records")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
}

// The bound for walks: memcpy of each record into a buffer, the record size
// being known only at run time, as it is to a table of any record size.
template <class K>
void walk_limit(benchmark::State &st, const std::string &name, std::size_t n) {
    using Rec = typename K::Rec;
    const auto &d = data_set<K>(n);
    std::unique_ptr<Rec[]> arr(new Rec[n]);
    std::memcpy(arr.get(), d.sorted.data(), n * sizeof(Rec));
    std::size_t rsiz = sizeof(Rec);
    benchmark::DoNotOptimize(rsiz);
    for (auto _ : st) {
        std::size_t count = 0;
        std::uint64_t sum = 0;
        Rec buf;
        const unsigned char *p = reinterpret_cast<const unsigned char *>(arr.get());
        for (std::size_t k = 0; k < n; ++k, p += rsiz) {
            std::memcpy(&buf, p, rsiz);
            ++count;
            sum += K::tag(buf);
        }
        if (!check(st, name, count == n && sum == d.tag_sum, "walk missed records")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
}

// Deleting every record, in random order, from a full container; the time
// covers the deletions only.
template <class C, class K>
void erase_all(benchmark::State &st, const std::string &name, std::size_t n) {
    const auto &d = data_set<K>(n);
    for (auto _ : st) {
        std::optional<C> c;
        c.emplace(static_cast<int>(n), 50);
        if (!check(st, name, c->ok() && c->load_sorted(d.sorted) && c->size() == n, "setup load failed"))
            break;
        const auto t0 = Clock::now();
        bool ok = true;
        for (const auto &q : d.deletes)
            if (!c->erase(q)) ok = false;
        const auto t1 = Clock::now();
        st.SetIterationTime(seconds(t0, t1));
        if (!check(st, name, ok && c->size() == 0, "a deletion failed")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
}

// The bound for deletions: the bytes each deletion must move (the records
// behind it, one slot down), with the slot known in advance; the key there
// is compared so that a wrong slot fails.
template <class K>
void erase_limit(benchmark::State &st, const std::string &name, std::size_t n) {
    using Rec = typename K::Rec;
    constexpr std::size_t rsiz = sizeof(Rec);
    const auto &d = data_set<K>(n);
    std::unique_ptr<unsigned char[]> buf(new unsigned char[n * rsiz]);
    unsigned char *const base = buf.get();
    for (auto _ : st) {
        std::memcpy(base, d.sorted.data(), n * rsiz);
        benchmark::ClobberMemory();
        const auto t0 = Clock::now();
        bool ok = true;
        for (std::size_t k = 0; k < n; ++k) {
            unsigned char *at = base + std::size_t{d.delete_pos[k]} * rsiz;
            if (!K::rec_equal(at, K::key_of(d.deletes[k]))) ok = false;
            std::memmove(at, at + rsiz, (n - k - 1 - d.delete_pos[k]) * rsiz);
        }
        const auto t1 = Clock::now();
        st.SetIterationTime(seconds(t0, t1));
        if (!check(st, name, ok, "a deletion met the wrong record")) break;
    }
    st.counters["ops"] = static_cast<double>(n);
}

// The cost of crossing into the library: tableCount at trace level 0.
void count_call(benchmark::State &st, const std::string &name, std::size_t n) {
    const auto &d = data_set<K16>(n);
    MorvaneTable<K16> c(static_cast<int>(n), 50);
    if (!check(st, name, c.ok() && c.load_sorted(d.sorted), "setup load failed")) return;
    tableSetDebug(0);
    const int id = c.id();
    const int expected = static_cast<int>(n);
    long wrong = 0;
    for (auto _ : st) wrong += tableCount(id) != expected;
    check(st, name, wrong == 0, "tableCount returned a wrong count");
    st.counters["ops"] = 1;
}

// The bound for the call: an indirect call of a function that returns a
// stored integer.
void call_limit(benchmark::State &st, const std::string &name, std::size_t n) {
    const int expected = static_cast<int>(n);
    set_stored_count(expected);
    long wrong = 0;
    for (auto _ : st) wrong += g_stored_count(1) != expected;
    check(st, name, wrong == 0, "the stored count came back wrong");
    st.counters["ops"] = 1;
}

// ---------------------------------------------------------------------------
// Registration

// The sizes one record kind runs at.
struct KindSizes {
    std::vector<std::size_t> lookup;  // lookups of the table and the lower_bound bound
    std::vector<std::size_t> all;     // every other workload, and the peers' lookups
    std::size_t quadratic_max = 0;    // random insertion and deletion stop here
    bool with_call = false;           // the trivial call and its bound
};

struct Mode {
    bool quick = false;
};

const Mode *g_mode = nullptr;

benchmark::internal::Benchmark *add(const std::string &name, bool manual,
                                    std::function<void(benchmark::State &, const std::string &)> fn) {
    auto *b = benchmark::RegisterBenchmark(name.c_str(), [fn, name](benchmark::State &st) { fn(st, name); });
    b->Unit(benchmark::kNanosecond);
    if (manual) b->UseManualTime();
    if (g_mode->quick) b->MinTime(0.01);
    return b;
}

std::string bench_name(const char *workload, const char *kind, const char *who, std::size_t n) {
    return std::string(workload) + "/" + kind + "/" + who + "/" + std::to_string(n);
}

// Calls `fn` once for each contestant type, with std::common_type<C> as tag.
template <class... C, class Fn>
void each(Fn &&fn) {
    (fn(std::common_type<C>{}), ...);
}

bool among(const std::vector<std::size_t> &sizes, std::size_t n) {
    return std::find(sizes.begin(), sizes.end(), n) != sizes.end();
}

template <class K>
void register_kind(const KindSizes &z) {
    const char *kind = K::name;
    using Lib = MorvaneTable<K>;
    using Vec = SortedVector<K>;
    using Map = StdMultimap<K>;
    using Btree = AbslBtree<K>;
    using Flat = BoostFlat<K>;
    using Push = PushBackVector<K>;

    for (const std::size_t n : z.lookup) {
        auto reg_lookup = [&](auto tag) {
            using C = typename decltype(tag)::type;
            add(bench_name("lookup", kind, C::name, n), false,
                [n](benchmark::State &st, const std::string &nm) { lookup<C, K>(st, nm, n); });
        };
        reg_lookup(std::common_type<Lib>{});
        if (among(z.all, n)) each<Vec, Map, Btree, Flat>(reg_lookup);
        add(bench_name("lookup", kind, "limit_lower_bound", n), false,
            [n](benchmark::State &st, const std::string &nm) { lookup_limit<K>(st, nm, n); });
    }

    for (const std::size_t n : z.all) {
        if (n > z.quadratic_max) continue;
        const int count = static_cast<int>(n);
        auto reg = [&](auto tag) {
            using C = typename decltype(tag)::type;
            add(bench_name("insert_random", kind, C::name, n), true,
                [n](benchmark::State &st, const std::string &nm) { load<C, K>(st, nm, n, false, 0, 0); });
        };
        reg(std::common_type<Lib>{});
        add(bench_name("insert_random", kind, "morvane_rinc_n", n), true,
            [n, count](benchmark::State &st, const std::string &nm) { load<Lib, K>(st, nm, n, false, 0, count); });
        each<Vec, Map, Btree, Flat>(reg);
        add(bench_name("insert_random", kind, "limit_memmove", n), true,
            [n](benchmark::State &st, const std::string &nm) { load_limit<K>(st, nm, n, false); });
    }

    for (const std::size_t n : z.all) {
        const int count = static_cast<int>(n);
        add(bench_name("append", kind, "morvane_rinc50", n), true,
            [n](benchmark::State &st, const std::string &nm) { load<Lib, K>(st, nm, n, true, 0, 50); });
        add(bench_name("append", kind, "morvane_rinc_n", n), true,
            [n, count](benchmark::State &st, const std::string &nm) { load<Lib, K>(st, nm, n, true, 0, count); });
        // With room for every record from the start, against push_back into
        // a vector that has room too.
        add(bench_name("append", kind, "morvane_recs_n", n), true,
            [n, count](benchmark::State &st, const std::string &nm) { load<Lib, K>(st, nm, n, true, count, 50); });
        add(bench_name("append", kind, Push::name, n), true,
            [n, count](benchmark::State &st, const std::string &nm) { load<Push, K>(st, nm, n, true, count, 0); });
        auto reg = [&](auto tag) {
            using C = typename decltype(tag)::type;
            add(bench_name("append", kind, C::name, n), true,
                [n](benchmark::State &st, const std::string &nm) { load<C, K>(st, nm, n, true, 0, 0); });
        };
        each<Vec, Map, Btree, Flat>(reg);
        add(bench_name("append", kind, "limit_memmove", n), true,
            [n](benchmark::State &st, const std::string &nm) { load_limit<K>(st, nm, n, true); });
    }

    for (const std::size_t n : z.all) {
        auto reg = [&](auto tag) {
            using C = typename decltype(tag)::type;
            add(bench_name("walk", kind, C::name, n), false,
                [n](benchmark::State &st, const std::string &nm) { walk<C, K>(st, nm, n); });
        };
        each<Lib, Vec, Map, Btree, Flat>(reg);
        add(bench_name("walk", kind, "limit_memcpy", n), false,
            [n](benchmark::State &st, const std::string &nm) { walk_limit<K>(st, nm, n); });
    }

    for (const std::size_t n : z.all) {
        if (n > z.quadratic_max) continue;
        auto reg = [&](auto tag) {
            using C = typename decltype(tag)::type;
            add(bench_name("delete_random", kind, C::name, n), true,
                [n](benchmark::State &st, const std::string &nm) { erase_all<C, K>(st, nm, n); });
        };
        each<Lib, Vec, Map, Btree, Flat>(reg);
        add(bench_name("delete_random", kind, "limit_memmove", n), true,
            [n](benchmark::State &st, const std::string &nm) { erase_limit<K>(st, nm, n); });
    }

    if (z.with_call)
        for (const std::size_t n : z.all) {
            add(bench_name("count_call", kind, "morvane", n), false,
                [n](benchmark::State &st, const std::string &nm) { count_call(st, nm, n); });
            add(bench_name("count_call", kind, "limit_indirect_call", n), false,
                [n](benchmark::State &st, const std::string &nm) { call_limit(st, nm, n); });
        }
}

void register_all(const Mode &mode) {
    // 16-byte records run every workload; lookups go on to 3x10^7 records
    // for 4-byte keys and to 10^7 for the other key kinds. The wide-record and text-key cases run the other
    // workloads at two sizes, the smaller one where the work grows with the
    // square of the count. Caller-comparison keys run lookups only.
    KindSizes rec16, wide, user;
    if (mode.quick) {
        rec16.lookup = rec16.all = {1000, 10000};
        rec16.quadratic_max = 10000;
        wide.lookup = wide.all = {1000};
        wide.quadratic_max = 1000;
        user.lookup = {1000, 10000};
    } else {
        rec16.lookup = {1000, 10000, 100000, 1000000, 10000000, 30000000};
        rec16.all = {1000, 10000, 100000, 1000000};
        rec16.quadratic_max = 100000;
        wide.lookup = wide.all = {10000, 100000};
        wide.quadratic_max = 10000;
        user.lookup = {1000, 10000, 100000, 1000000, 10000000};
    }
    rec16.with_call = true;
    KindSizes text = wide;
    text.lookup = user.lookup;
    register_kind<K16>(rec16);
    register_kind<K64>(wide);
    register_kind<KText>(text);
    register_kind<KUser>(user);
}

}  // namespace
}  // namespace bench

int main(int argc, char **argv) {
    bench::Mode mode;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--quick") == 0)
            mode.quick = true;
        else
            args.push_back(argv[i]);
    }
    bench::g_mode = &mode;

    // The library makes its table registry on the first tableNew: make it
    // now, so that no load's byte count includes it.
    tableSetDebug(0);
    tableFree(tableNew(16, KEY_INT, KEY_UNIQUE, 4, 0, 0));

    int nargs = static_cast<int>(args.size());
    benchmark::Initialize(&nargs, args.data());
    if (benchmark::ReportUnrecognizedArguments(nargs, args.data())) return 2;
    bench::register_all(mode);
    bench::register_cxx(mode.quick);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (tableErr(0) != TERR_NONE) {
        std::fprintf(stderr, "CHECK FAILED: the library recorded an error code\n");
        ++bench::g_failures;
    }
    if (bench::g_failures > 0) {
        std::fprintf(stderr, "morvane-bench: %d check(s) failed\n", bench::g_failures);
        return 1;
    }
    return 0;
}
