// Record location: selectors and the binary key search. Private to the
// library.
#ifndef MORVANE_STORE_SEARCH_H
#define MORVANE_STORE_SEARCH_H

#include "core/registry.h"
#include "morvane.h"

namespace morvane::store {

// Positions table `tabid` by selector `recid`, reading the key from `rptr`
// for a key search. True when `cur` names an existing record; on a failed key
// search `cur` is the insertion point. Changes no field but `cur`.
bool find_record(core::TableDef &def, int tabid, int recid, const void *rptr);

}  // namespace morvane::store

#endif
