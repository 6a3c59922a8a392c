// A table's record storage: one contiguous block of `allcd` slots of `rsiz`
// bytes, records in slots 0 to used - 1 in key order. These routines work at
// the table's current position; their callers validate the id and position
// the table first. Private to the library.
#ifndef MORVANE_STORE_STORAGE_H
#define MORVANE_STORE_STORAGE_H

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/registry.h"
#include "core/trace.h"
#include "platform/compiler.h"

namespace morvane::store {

// The two directions of copy_record, as its trace line prints them.
enum CopyMode : int { COPY_STORE = 0, COPY_FETCH = 1 };

// Opens an empty slot at `cur` (0 to used), growing the storage by `rinc`
// slots when it is full. False with code 2 recorded and the table unchanged
// when the larger block cannot be had.
bool add_record(core::TableDef &def) noexcept;

// Removes the record at `cur` (0 to used - 1). `cur` then names the record
// that followed, or the new last record when the last one went.
void delete_record(core::TableDef &def) noexcept;

// The address of slot `index`.
inline char *slot(const core::TableDef &def, int index) noexcept {
    return def.tptr + static_cast<std::size_t>(index) * static_cast<std::size_t>(def.rsiz);
}

// The address of slot `index` of a table whose block is at most INT_MAX
// bytes (core/sizes.h): the offset is worked out in 32 bits.
inline char *slot32(const core::TableDef &def, int index) noexcept {
    return def.tptr + static_cast<unsigned>(index) * static_cast<unsigned>(def.rsiz);
}

// Sixteen bytes held in one vector register.
typedef unsigned char Block16 MORVANE_VECTOR(16);

inline Block16 load16(const char *p) noexcept {
    Block16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store16(char *p, Block16 v) noexcept { std::memcpy(p, &v, sizeof v); }

// Records of 16 to 64 bytes: the first and the last 16 bytes, which overlap
// below 32, and from 32 on the 16 after the first and the 16 before the
// last. Every size of the range takes the same one test; from 32 bytes on
// a copy makes four moves more.
//
// The order of the stores matters to a caller who reads the record as soon
// as the call returns. A store whose address depends on the record size
// (read from the table's definition) gets its address late, and a read of
// the same bytes that the processor starts before that address is known
// may be started on a guess and undone. So the stores at offsets 0 and 16,
// whose address is the destination's own, come last: they cover the first
// 32 bytes of every record of 32 bytes or more, and reading those bytes
// never waits on a store of unknown address.
constexpr std::size_t kInlineMin = 16, kInlineMax = 64;

MORVANE_ALWAYS_INLINE void copy_inline(char *d, const char *s, std::size_t n) noexcept {
    const Block16 head = load16(s), tail = load16(s + n - 16);
    store16(d + n - 16, tail);
    // Laid out in line: the larger records pay only its four moves.
    if (MORVANE_LIKELY(n >= 32)) {
        const Block16 second = load16(s + 16), third = load16(s + n - 32);
        store16(d + n - 32, third);
        store16(d + 16, second);
    }
    store16(d, head);
}

// Records of other sizes: 8 to 15 bytes as two overlapping words, without a
// call, the rest through memcpy.
inline void copy_other(char *d, const char *s, std::size_t n) noexcept {
    if (n - 8 < 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, s, 8);
        std::memcpy(&tail, s + n - 8, 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + n - 8, &tail, 8);
    } else {
        std::memcpy(d, s, n);
    }
}

// How a table's records are copied (TableDef::store.copy), fixed when the
// table is made: a walk copies one record per step, and a library call
// would cost more than the copy of a small record.
enum CopyKind : unsigned char {
    kCopyNoTable = 0,  // the slot holds no table
    kCopyInline,       // 16 to 64 bytes: copy_inline
    kCopyOther,        // any other size: copy_other
};

// True when the slot holds a table whose records are copied inline: the
// level-0 fast paths test this instead of the storage pointer.
inline bool copies_inline(const core::TableDef &def) noexcept {
    return def.store.copy == kCopyInline;
}

// Fills in store/'s part of a new table's definition from its parameters.
void prepare_table(core::TableDef &def) noexcept;

// copy_record's trace line (level 3), shared by its two directions.
void trace_copy_record(const core::TableDef &def, const void *rptr, CopyMode mode) noexcept;

// The caller's buffer as copy_record in direction `mode` uses it: read from
// when storing, written to when fetching.
template <CopyMode mode>
using RecordBuffer = std::conditional_t<mode == COPY_STORE, const void *, void *>;

// Copies the `rsiz` bytes of slot `cur` from the caller's buffer
// (COPY_STORE) or into it (COPY_FETCH).
template <CopyMode mode>
inline void copy_record(core::TableDef &def, RecordBuffer<mode> rptr) noexcept {
    if (core::trace_on(core::kTraceInternals)) trace_copy_record(def, rptr, mode);
    const auto rsiz = static_cast<std::size_t>(def.rsiz);
    char *const rec = slot(def, def.cur);
    const auto copy = [&](char *d, const char *s) {
        if (def.store.copy == kCopyInline)
            copy_inline(d, s, rsiz);
        else
            copy_other(d, s, rsiz);
    };
    if constexpr (mode == COPY_STORE)
        copy(rec, static_cast<const char *>(rptr));
    else
        copy(static_cast<char *>(rptr), rec);
}

}  // namespace morvane::store

#endif
