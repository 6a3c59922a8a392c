#include "store/search.h"

#include <cinttypes>

#include "core/trace.h"
#include "platform/compiler.h"
#include "store/keys.h"
#include "store/storage.h"

namespace morvane::store {
namespace {

inline int midpoint(int low, int high) noexcept {
    return static_cast<int>((static_cast<unsigned>(low) + static_cast<unsigned>(high)) / 2);
}

// The binary search over slots 0 to used - 1. The probe sequence and the
// stop at the first equal record met are fixed: in a table with equal keys
// they decide which record is found. This is the traced instance, which
// writes the lines of every probe.
template <typename Cmp>
bool traced_search(core::TableDef &def, const Cmp &cmp, const char *key) {
    int low = 0;
    int high = def.used;
    do {
        const int mid = midpoint(low, high);
        const char *rec = slot(def, mid);
        platform::diag_printf("find_record - low %d high %d curr %d\n", low, high, mid);
        cmp.trace(rec, key);
        const int status = cmp.status(rec, key);
        platform::diag_printf("find_record - status %d\n", status);
        if (status == 0) {
            def.cur = mid;
            platform::diag_printf("find_record - success, current = %d\n", mid);
            return true;
        }
        if (status > 0)
            high = mid;
        else
            low = mid + 1;
    } while (low != high);
    def.cur = high;
    platform::diag_printf("find_record - fail, current = %d\n", high);
    return false;
}

// The comparison of a record with the caller's key as two numbers whose
// order is the records': the two integer keys themselves where the key is an
// integer, else the comparison's result and 0.
template <typename Cmp>
struct Comparand {
    const Cmp &cmp;
    const char *key;
    int rhs;
    Comparand(const Cmp &c, const char *buf) : cmp(c), key(buf), rhs(0) {}
    int lhs(const char *rec) const { return cmp.compare(rec, key); }
};
template <typename T>
struct Comparand<IntKey<T>> {
    int rhs;
    Comparand(const IntKey<T> &, const char *buf) : rhs(load<T>(buf)) {}
    int lhs(const char *rec) const { return load<T>(rec); }
};

// The untraced search: the same probes, the same comparisons in the same
// order and the same stop as the traced one. While a record is compared, the
// two places the next probe may go are worked out; the comparison then picks
// one with conditional moves, so that a step costs one load and one
// comparison and no misprediction. kPrefetch, for tables larger than the
// caches, also fetches the records of the two probes after this one, and,
// once the records left in range span at most kWindowBytes, every line of
// them at once: the last probes then wait for one trip to memory, not one
// each.
//
// kWindowBytes was measured at 10^6 to 3 x 10^7 records of 16 bytes: 2 KiB
// beat 0.5 and 1 KiB, 4 and 8 KiB lost, the extra fetches costing more than
// they saved. Fetching the probes three or four levels ahead lost too, and
// so did a search with branches, alone or fetching one or two levels ahead.
constexpr std::size_t kWindowBytes = 2048;
constexpr std::size_t kLineBytes = 64;

template <bool kPrefetch, typename Cmp>
bool branch_free_search(core::TableDef &def, const Cmp &cmp, const char *key) {
    const char *const base = def.tptr;
    const std::size_t rsiz = static_cast<std::size_t>(def.rsiz);
    int low = 0;
    int high = def.used;
    int mid = midpoint(low, high);
    const char *rec = base + static_cast<std::size_t>(mid) * rsiz;
    if constexpr (kPrefetch) {
        MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(low, mid)) * rsiz);
        MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(mid + 1, high)) * rsiz);
    }
    const Comparand<Cmp> comparand(cmp, key);
    const int rhs = comparand.rhs;
    // Records in range when every line of it is fetched; 0 once it has been.
    std::size_t window = kPrefetch ? kWindowBytes / rsiz + 1 : 0;
    do {
        const int lhs = comparand.lhs(rec);
        if (lhs == rhs) {
            def.cur = mid;
            return true;
        }
        // Before the record: low to mid. After it: mid + 1 to high.
        const int mid_before = midpoint(low, mid), mid_after = midpoint(mid + 1, high);
        const char *rec_before = base + static_cast<std::size_t>(mid_before) * rsiz;
        const char *rec_after = base + static_cast<std::size_t>(mid_after) * rsiz;
        if (kPrefetch && window != 0) {
            // The four records the probe after next may read: with the two
            // fetched one step earlier, two levels of misses overlap.
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(low, mid_before)) * rsiz);
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(mid_before + 1, mid)) * rsiz);
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(mid + 1, mid_after)) * rsiz);
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(mid_after + 1, high)) * rsiz);
        }
        rec = platform::select_if_greater(lhs, rhs, rec_before, rec_after);
        low = platform::select_if_greater(lhs, rhs, low, mid + 1);
        high = platform::select_if_greater(lhs, rhs, mid, high);
        mid = platform::select_if_greater(lhs, rhs, mid_before, mid_after);
        if (kPrefetch && window != 0 && static_cast<std::size_t>(high - low) <= window) {
            const char *line = base + static_cast<std::size_t>(low) * rsiz;
            const char *const end = base + static_cast<std::size_t>(high) * rsiz;
            for (; line < end; line += kLineBytes) MORVANE_PREFETCH(line);
            MORVANE_PREFETCH(end - 1);
            window = 0;
        }
    } while (low != high);
    def.cur = high;
    return false;
}

// Tables up to this many bytes are searched without prefetching.
constexpr std::size_t kCachedBytes = std::size_t{256} << 10;

template <typename Cmp>
bool key_search(core::TableDef &def, const Cmp &cmp, const char *key) {
    if (core::trace_on(core::kTraceInternals)) return traced_search(def, cmp, key);
    if (static_cast<std::size_t>(def.used) * static_cast<std::size_t>(def.rsiz) <= kCachedBytes)
        return branch_free_search<false>(def, cmp, key);
    return branch_free_search<true>(def, cmp, key);
}

// Calls `fn` with the comparison of an integer or text key table, chosen
// once by key type and width, and returns its answer. Never for a table with
// the caller's comparison, which sees every call made of it and so is called
// by the key search alone: tableNew admits no key type but these three.
template <typename Fn>
bool with_own_compare(const core::TableDef &def, Fn &&fn) {
    if (def.ktyp == KEY_INT) {
        if (def.ftyp == 1) return fn(IntKey<std::int8_t>{"int1"});
        if (def.ftyp == 2) return fn(IntKey<std::int16_t>{"int2"});
        return fn(IntKey<std::int32_t>{"int4"});
    }
    return fn(StringKey{static_cast<int>(def.ftyp)});
}

bool search_by_key(core::TableDef &def, const char *key) {
    if (def.ktyp != KEY_USER)
        return with_own_compare(def, [&](const auto &cmp) { return key_search(def, cmp.for_key(key), key); });
    // A table without a comparison finds nothing: the search ends where an
    // insertion appends.
    const auto fn = reinterpret_cast<TableCompareFn>(def.ftyp);
    if (fn == nullptr) {
        def.cur = def.used;
        MORVANE_TRACE3("find_record - fail, current = %d\n", def.used);
        return false;
    }
    return key_search(def, UserKey{fn}, key);
}

}  // namespace

AppendKey append_key_of(const core::TableDef &def) noexcept {
    if (def.ktyp == KEY_USER) return kAppendSearch;
    // As with_own_compare: an integer key of neither 1 nor 2 bytes is of 4.
    return def.ktyp == KEY_INT && def.ftyp != 1 && def.ftyp != 2 ? kAppendInt4 : kAppendCompare;
}

bool sorts_after_last(const core::TableDef &def, const char *key) noexcept {
    if (def.used == 0 || def.store.append == kAppendSearch) return false;
    const char *last = slot(def, def.used - 1);
    // `key` lies in a whole record, so a text key is compared over its width.
    return with_own_compare(def, [&](const auto &cmp) { return cmp.compare(last, key) < 0; });
}

bool find_insertion(core::TableDef &def, const void *rptr) {
    if (!core::trace_on(core::kTraceInternals) && sorts_after_last(def, static_cast<const char *>(rptr))) {
        def.cur = def.used;
        return false;
    }
    return find_record(def, REC_KEY, rptr);
}

void note_rewrite(core::TableDef &def, int index) noexcept {
    // Stays so until the table is empty; always so with the caller's comparison.
    if (def.store.append == kAppendSearch) return;
    const char *rec = slot(def, index);
    if (with_own_compare(def, [&](const auto &cmp) {
            return (index > 0 && cmp.compare(slot(def, index - 1), rec) > 0) ||
                   (index + 1 < def.used && cmp.compare(rec, slot(def, index + 1)) > 0);
        }))
        def.store.append = kAppendSearch;
}

bool find_record(core::TableDef &def, int recid, const void *rptr) {
    MORVANE_TRACE3("find_record - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n",
                   core::table_id(def), core::as_number(rptr));
    if (def.used == 0) {
        // An empty table is in order, whatever was rewritten in it before.
        def.store.append = append_key_of(def);
        def.cur = 0;
        return false;
    }
    switch (recid) {
    case REC_NEXT:
        if (def.cur >= def.used - 1) return false;
        ++def.cur;
        return true;
    case REC_PREV:
        if (def.cur == 0) return false;
        --def.cur;
        return true;
    case REC_LAST:
        def.cur = def.used - 1;
        return true;
    case REC_CURRENT:
        if (def.cur >= def.used) def.cur = def.used - 1;
        return true;
    case REC_FIRST:
        def.cur = 0;
        return true;
    default:
        return search_by_key(def, static_cast<const char *>(rptr));
    }
}

}  // namespace morvane::store
