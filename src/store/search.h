// Record location: selectors and the binary key search. Private to the
// library.
#ifndef MORVANE_STORE_SEARCH_H
#define MORVANE_STORE_SEARCH_H

#include "core/registry.h"
#include "morvane.h"

namespace morvane::store {

// True when `recid` asks for a key search: REC_KEY and every value that is
// not one of the six selectors.
inline bool is_key_search(int recid) noexcept {
    return recid == REC_KEY || recid >= 0 || recid < REC_NEXT;
}

// True unless `recid` asks for a key search and there is no key to read:
// the selector moves need no buffer.
inline bool can_locate(int recid, const void *rptr) noexcept {
    return rptr != nullptr || !is_key_search(recid);
}

// Positions table `tabid` by selector `recid`, reading the key from `rptr`
// for a key search. True when `cur` names an existing record; on a failed key
// search `cur` is the insertion point. Changes no field but `cur`.
bool find_record(core::TableDef &def, int tabid, int recid, const void *rptr);

}  // namespace morvane::store

#endif
