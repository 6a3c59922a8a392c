// Record location: selectors and the binary key search. Private to the
// library.
#ifndef MORVANE_STORE_SEARCH_H
#define MORVANE_STORE_SEARCH_H

#include "core/registry.h"
#include "morvane.h"

namespace morvane::store {

// Positions the table by selector `recid`, reading the key from `rptr`
// for a key search. True when `cur` names an existing record; on a failed key
// search `cur` is the insertion point. Changes no field but `cur`, and the
// mark of a broken order, which an empty table clears.
bool find_record(core::TableDef &def, int recid, const void *rptr);

// find_record(def, REC_KEY, rptr) for an insertion, with the same
// result and position. With integer and text keys a key that sorts after
// the last record is placed after it without a search (ascending loads),
// unless a rewrite may have broken the order the shortcut relies on.
bool find_insertion(core::TableDef &def, const void *rptr);

// Notes that the record in slot `index` was overwritten in place: when its
// key no longer sorts between its neighbours', insertions into the table
// search again until it is empty.
void note_rewrite(core::TableDef &def, int index) noexcept;

}  // namespace morvane::store

#endif
