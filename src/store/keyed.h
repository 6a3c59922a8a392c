// The keyed operations on a valid table: each positions the table with
// find_record and then changes or copies one record. The caller has checked
// the id and the buffer. Private to the library.
#ifndef MORVANE_STORE_KEYED_H
#define MORVANE_STORE_KEYED_H

#include "core/registry.h"
#include "morvane.h"
#include "platform/compiler.h"
#include "store/search.h"
#include "store/storage.h"

namespace morvane::store {

// tableAdd: inserts the record in key order; 0 for a key a KEY_UNIQUE table
// holds already, or when the storage cannot grow.
MORVANE_ALWAYS_INLINE int add_by_key(core::TableDef &def, const void *rptr) noexcept {
    const bool found = find_insertion(def, rptr);
    if ((found && def.kmod == KEY_UNIQUE) || !add_record(def)) return 0;
    copy_record<COPY_STORE>(def, rptr);
    return 1;
}

// tableSet: overwrites the record with the buffer's key.
MORVANE_ALWAYS_INLINE int set_by_key(core::TableDef &def, const void *rptr) noexcept {
    if (!find_record(def, REC_KEY, rptr)) return 0;
    copy_record<COPY_STORE>(def, rptr);
    return 1;
}

// tableGet: copies the selected record into the buffer.
MORVANE_ALWAYS_INLINE int get_selected(core::TableDef &def, int recid, void *rptr) noexcept {
    if (!find_record(def, recid, rptr)) return 0;
    copy_record<COPY_FETCH>(def, rptr);
    return 1;
}

// tableDel: removes the selected record.
MORVANE_ALWAYS_INLINE int delete_selected(core::TableDef &def, int recid,
                                          const void *rptr) noexcept {
    if (!find_record(def, recid, rptr)) return 0;
    delete_record(def);
    return 1;
}

}  // namespace morvane::store

#endif
