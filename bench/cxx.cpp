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
// Each run is checked: every record present, in key order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

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
                table.emplace(morvane::Mode::unique,
                              who == Contestant::table_hint ? static_cast<int>(n) : 100);
                for (const Rec16 &r : d.sorted) table->insert(r);
                break;
            case Contestant::c_hint:
                // The Table holds the id; the appends skip its layer.
                table.emplace(morvane::Mode::unique, static_cast<int>(n));
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
            std::fprintf(stderr, "CHECK FAILED: %s: records missing or out of order\n", name.c_str());
            st.SkipWithError("records missing or out of order");
            break;
        }
    }
    st.counters["ops"] = static_cast<double>(n);
    st.counters["bytes_per_record"] = bytes / static_cast<double>(n);
}

void add(bool quick, const char *workload, const char *who_name, std::size_t n, Contestant who) {
    const std::string name = std::string(workload) + "/" + K16::name + "/" + who_name + "/" +
                             std::to_string(n);
    auto *b = benchmark::RegisterBenchmark(
        name.c_str(), [=](benchmark::State &st) { build(st, name, n, who); });
    b->Unit(benchmark::kNanosecond)->UseManualTime();
    if (quick) b->MinTime(0.01);
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
}

}  // namespace bench
