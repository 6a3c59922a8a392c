// A table's record storage: one contiguous block of `allcd` slots of `rsiz`
// bytes, records in slots 0 to used - 1 in key order. These routines work at
// the table's current position; their callers validate the id and position
// the table first. Private to the library.
#ifndef MORVANE_STORE_STORAGE_H
#define MORVANE_STORE_STORAGE_H

#include "core/registry.h"

namespace morvane::store {

enum CopyMode : int { COPY_STORE = 0, COPY_FETCH = 1 };

// Opens an empty slot at `cur` (0 to used), growing the storage by `rinc`
// slots when it is full. False with code 2 recorded and the table unchanged
// when the larger block cannot be had.
bool add_record(core::TableDef &def, int tabid) noexcept;

// Removes the record at `cur` (0 to used - 1). `cur` then names the record
// that followed, or the new last record when the last one went.
void delete_record(core::TableDef &def, int tabid) noexcept;

// Copies the `rsiz` bytes of slot `cur` from the caller's buffer (COPY_STORE)
// or into it (any other mode).
void copy_record(core::TableDef &def, int tabid, void *rptr, int mode) noexcept;

// The address of slot `index`.
inline char *slot(const core::TableDef &def, int index) noexcept {
    return def.tptr + static_cast<std::size_t>(index) * static_cast<std::size_t>(def.rsiz);
}

}  // namespace morvane::store

#endif
