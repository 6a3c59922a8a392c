#include "store/search.h"

#include <cinttypes>

#include "core/trace.h"
#include "platform/compiler.h"
#include "store/keys.h"

namespace morvane::store {
namespace {

inline int midpoint(int low, int high) noexcept {
    return static_cast<int>((static_cast<unsigned>(low) + static_cast<unsigned>(high)) / 2);
}

// The binary search over slots 0 to used - 1. The probe sequence and the
// stop at the first equal record met are fixed: in a table with equal keys
// they decide which record is found. The untraced instance carries no trace
// work; the traced one writes the lines of every probe.
template <bool kTraced, typename Key>
bool key_search(core::TableDef &def, const Key &keys, const char *key) {
    const char *const base = def.tptr;
    const std::size_t rsiz = static_cast<std::size_t>(def.rsiz);
    int low = 0;
    int high = def.used;
    do {
        const int mid = midpoint(low, high);
        const char *rec = base + static_cast<std::size_t>(mid) * rsiz;
        int status;
        if constexpr (kTraced) {
            platform::diag_printf("find_record - low %d high %d curr %d\n", low, high, mid);
            keys.trace(rec, key);
            status = keys.status(rec, key);
            platform::diag_printf("find_record - status %d\n", status);
        } else {
            // Both records the next probe may read, fetched while this one is
            // compared: in a large table each probe is a cache miss.
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(low, mid)) * rsiz);
            MORVANE_PREFETCH(base + static_cast<std::size_t>(midpoint(mid + 1, high)) * rsiz);
            status = keys.compare(rec, key);
        }
        if (status == 0) {
            def.cur = mid;
            if constexpr (kTraced) platform::diag_printf("find_record - success, current = %d\n", mid);
            return true;
        }
        if (status > 0)
            high = mid;
        else
            low = mid + 1;
    } while (low != high);
    def.cur = high;
    if constexpr (kTraced) platform::diag_printf("find_record - fail, current = %d\n", high);
    return false;
}

template <typename Key>
bool key_search(core::TableDef &def, const Key &keys, const char *key) {
    return core::trace_on(core::kTraceInternals) ? key_search<true>(def, keys, key)
                                                 : key_search<false>(def, keys, key);
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
    case KEY_USER: {
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
    // tableNew admits no other key type.
    MORVANE_UNREACHABLE();  // GCOVR_EXCL_LINE
}

}  // namespace

bool find_record(core::TableDef &def, int tabid, int recid, const void *rptr) {
    MORVANE_TRACE3("find_record - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n", tabid,
                   reinterpret_cast<std::intptr_t>(rptr));
    if (def.used == 0) {
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
