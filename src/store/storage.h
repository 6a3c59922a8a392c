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

// Sixteen bytes held in one vector register.
typedef unsigned char Block16 MORVANE_VECTOR(16);

// Copies `n` bytes between non-overlapping places. Records of 8 to 64 bytes
// move without a call, through registers, the last word overlapping the one
// before: a walk copies one record per step, and a library call would cost
// more than the copy. Other sizes go to memcpy.
inline void copy_bytes(void *dst, const void *src, std::size_t n) noexcept {
    auto *d = static_cast<char *>(dst);
    const auto *s = static_cast<const char *>(src);
    if (n < 8 || n > 64) {
        std::memcpy(d, s, n);
    } else if (n <= 16) {
        std::uint64_t head, tail;
        std::memcpy(&head, s, 8);
        std::memcpy(&tail, s + n - 8, 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + n - 8, &tail, 8);
    } else if (n <= 32) {
        Block16 head, tail;
        std::memcpy(&head, s, 16);
        std::memcpy(&tail, s + n - 16, 16);
        std::memcpy(d, &head, 16);
        std::memcpy(d + n - 16, &tail, 16);
    } else {
        // The first 32 bytes and the last 32, which overlap below 64.
        Block16 a, b, y, z;
        std::memcpy(&a, s, 16);
        std::memcpy(&b, s + 16, 16);
        std::memcpy(&y, s + n - 32, 16);
        std::memcpy(&z, s + n - 16, 16);
        std::memcpy(d, &a, 16);
        std::memcpy(d + 16, &b, 16);
        std::memcpy(d + n - 32, &y, 16);
        std::memcpy(d + n - 16, &z, 16);
    }
}

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
    if constexpr (mode == COPY_STORE)
        copy_bytes(slot(def, def.cur), rptr, rsiz);
    else
        copy_bytes(rptr, slot(def, def.cur), rsiz);
}

}  // namespace morvane::store

#endif
