#include "store/search.h"

#include <cinttypes>

#include "core/trace.h"
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
template <typename Key>
bool traced_search(core::TableDef &def, const Key &keys, const char *key) {
    int low = 0;
    int high = def.used;
    do {
        const int mid = midpoint(low, high);
        const char *rec = slot(def, mid);
        platform::diag_printf("find_record - low %d high %d curr %d\n", low, high, mid);
        keys.trace(rec, key);
        const int status = keys.status(rec, key);
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

// Tables up to this size are searched with the direction of each step
// chosen without a branch; larger ones, where every probe is a cache miss,
// let the processor run ahead on a predicted direction.
constexpr std::size_t kBranchFreeBytes = std::size_t{256} << 10;

// The untraced search: the same probes, the same comparisons in the same
// order and the same stop as the traced one. kBranchFree picks the next
// bounds with conditional moves: in a table that fits in the caches a
// mispredicted comparison would cost more than the probe itself.
template <bool kBranchFree, typename Key>
bool quiet_search(core::TableDef &def, const Key &keys, const char *key) {
    const char *const base = def.tptr;
    const std::size_t rsiz = static_cast<std::size_t>(def.rsiz);
    int low = 0;
    int high = def.used;
    do {
        const int mid = midpoint(low, high);
        // Both records the next probe may read, fetched while this one is
        // compared: in a large table each probe is a cache miss.
        __builtin_prefetch(base + static_cast<std::size_t>(midpoint(low, mid)) * rsiz);
        __builtin_prefetch(base + static_cast<std::size_t>(midpoint(mid + 1, high)) * rsiz);
        int status = keys.compare(base + static_cast<std::size_t>(mid) * rsiz, key);
        // The comparison's value as an opaque number: otherwise the compiler
        // folds the test for equality and the choice of direction into one
        // unpredictable branch.
        if constexpr (kBranchFree) __asm__("" : "+r"(status));
        if (status == 0) {
            def.cur = mid;
            return true;
        }
        if constexpr (kBranchFree) {
            // All ones when the record sorts after the key, else zero; the
            // masks keep the compiler from turning the choice into a branch.
            const int after = -static_cast<int>(status > 0);
            high = (mid & after) | (high & ~after);
            low = (low & after) | ((mid + 1) & ~after);
        } else if (status > 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    } while (low != high);
    def.cur = high;
    return false;
}

template <typename Key>
bool key_search(core::TableDef &def, const Key &keys, const char *key) {
    if (core::trace_on(core::kTraceInternals)) return traced_search(def, keys, key);
    if (static_cast<std::size_t>(def.used) * static_cast<std::size_t>(def.rsiz) <= kBranchFreeBytes)
        return quiet_search<true>(def, keys, key);
    return quiet_search<false>(def, keys, key);
}

// Chooses the comparison once per search, by key type and width.
bool search_by_key(core::TableDef &def, const char *key) {
    switch (def.ktyp) {
    case KEY_INT:
        if (def.ftyp == 1) return key_search(def, IntKey<std::int8_t>{"int1"}, key);
        if (def.ftyp == 2) return key_search(def, IntKey<std::int16_t>{"int2"}, key);
        return key_search(def, IntKey<std::int32_t>{"int4"}, key);
    case KEY_STRING:
        return key_search(def, StringKey{static_cast<int>(def.ftyp)}, key);
    default: {
        // A table without a comparison finds nothing: the search ends where
        // an insertion appends.
        const auto fn = reinterpret_cast<TableCompareFn>(def.ftyp);
        if (fn == nullptr) {
            def.cur = def.used;
            MORVANE_TRACE3("find_record - fail, current = %d\n", def.used);
            return false;
        }
        return key_search(def, UserKey{fn}, key);
    }
    }
}

// Calls `fn` with the comparison of an integer or text key table and
// returns its answer; false for a caller's comparison, which sees every call
// made of it and so is called by the key search alone.
template <typename Fn>
bool with_own_keys(const core::TableDef &def, Fn &&fn) {
    switch (def.ktyp) {
    case KEY_INT:
        if (def.ftyp == 1) return fn(IntKey<std::int8_t>{"int1"});
        if (def.ftyp == 2) return fn(IntKey<std::int16_t>{"int2"});
        return fn(IntKey<std::int32_t>{"int4"});
    case KEY_STRING:
        return fn(StringKey{static_cast<int>(def.ftyp)});
    default:
        return false;
    }
}

}  // namespace

bool find_insertion(core::TableDef &def, int tabid, const void *rptr) {
    const char *key = static_cast<const char *>(rptr);
    if (def.used > 0 && def.unordered == 0 && !core::trace_on(core::kTraceInternals) &&
        with_own_keys(def, [&](const auto &keys) { return keys.compare(slot(def, def.used - 1), key) < 0; })) {
        def.cur = def.used;
        return false;
    }
    return find_record(def, tabid, REC_KEY, rptr);
}

void note_rewrite(core::TableDef &def, int index) noexcept {
    const char *rec = slot(def, index);
    if (with_own_keys(def, [&](const auto &keys) {
            return (index > 0 && keys.compare(slot(def, index - 1), rec) > 0) ||
                   (index + 1 < def.used && keys.compare(rec, slot(def, index + 1)) > 0);
        }))
        def.unordered = 1;
}

bool find_record(core::TableDef &def, int tabid, int recid, const void *rptr) {
    MORVANE_TRACE3("find_record - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n", tabid,
                   reinterpret_cast<std::intptr_t>(rptr));
    if (def.used == 0) {
        // An empty table is in order, whatever was rewritten in it before.
        def.unordered = 0;
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
