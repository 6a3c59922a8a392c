// Record location: selectors and the binary key search. Private to the
// library.
#ifndef MORVANE_STORE_SEARCH_H
#define MORVANE_STORE_SEARCH_H

#include <cstdint>

#include "core/registry.h"
#include "morvane.h"
#include "platform/compiler.h"
#include "store/keys.h"
#include "store/storage.h"

namespace morvane::store {

// Positions the table by selector `recid`, reading the key from `rptr`
// for a key search. True when `cur` names an existing record; on a failed key
// search `cur` is the insertion point. Changes no field but `cur`, and the
// mark of a broken order (store.append), which an empty table clears.
bool find_record(core::TableDef &def, int recid, const void *rptr);

// find_record(def, REC_KEY, rptr) for an insertion, with the same
// result and position. With integer and text keys a key that sorts after
// the last record is placed after it without a search (ascending loads),
// unless a rewrite may have broken the order the shortcut relies on.
bool find_insertion(core::TableDef &def, const void *rptr);

// Whether an insertion after the last record may compare with it instead of
// searching (TableDef::store.append): kAppendInt4 for 4-byte integer keys,
// which append_inline compares itself, kAppendCompare for the table's other
// own comparisons. kAppendSearch where it must search: for a caller's
// comparison, which sees every call made of it, and from a rewrite that may
// have broken the key order until the table is empty.
enum AppendKey : unsigned char { kAppendSearch, kAppendCompare, kAppendInt4 };

// The comparison appends to `def` make while its records are in order.
AppendKey append_key_of(const core::TableDef &def) noexcept;

// True when the record with key `key` goes after the last record of `def`
// without a search: the table holds records, their order is intact and the
// key sorts after the last one's.
bool sorts_after_last(const core::TableDef &def, const char *key) noexcept;

// tableAdd at level 0, in a table whose records are copied inline: appends
// the record at `rptr` when the table has room and the key, a 4-byte
// integer, sorts after the last record's, as find_insertion and add_record
// would place it, with `cur` on it. False with the table untouched
// otherwise, and for every other kind of key.
MORVANE_ALWAYS_INLINE bool append_inline(core::TableDef &def, const void *rptr) noexcept {
    const char *rec = static_cast<const char *>(rptr);
    const int used = def.used;
    // Neither empty nor full, in one test.
    if (static_cast<unsigned>(used - 1) >= static_cast<unsigned>(def.allcd - 1)) return false;
    if (def.store.append != kAppendInt4) return false;
    if (load<std::int32_t>(slot32(def, used - 1)) >= load<std::int32_t>(rec)) return false;
    // The two counts are set apart, on either side of the copy's branch:
    // set together, they were paired through a vector register.
    def.cur = used;
    copy_inline(slot32(def, used), rec, static_cast<unsigned>(def.rsiz));
    def.used = used + 1;
    return true;
}

// Notes that the record in slot `index` was overwritten in place: when its
// key no longer sorts between its neighbours', insertions into the table
// search again until it is empty.
void note_rewrite(core::TableDef &def, int index) noexcept;

}  // namespace morvane::store

#endif
