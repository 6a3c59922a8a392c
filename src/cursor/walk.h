// The walks through a valid table's current position: they copy the record
// at the position and step, or tell where the position stands. They never
// search; the keyed operations set the position beforehand. Private to the
// library.
#ifndef MORVANE_CURSOR_WALK_H
#define MORVANE_CURSOR_WALK_H

#include "core/registry.h"
#include "platform/compiler.h"
#include "store/search.h"
#include "store/storage.h"

namespace morvane::cursor {

// tableNext: fetches the record at the position and steps forward; 0 at the
// end, where nothing is copied and the position stays.
MORVANE_ALWAYS_INLINE int fetch_next(core::TableDef &def, void *rptr) noexcept {
    if (def.cur >= def.used) return 0;
    store::copy_record<store::COPY_FETCH>(def, rptr);
    ++def.cur;
    return 1;
}

// tableUpdate: overwrites the record at the position and steps forward; 0 at
// the end.
MORVANE_ALWAYS_INLINE int update_next(core::TableDef &def, const void *rptr) noexcept {
    if (def.cur >= def.used) return 0;
    store::copy_record<store::COPY_STORE>(def, rptr);
    store::note_rewrite(def, def.cur);
    ++def.cur;
    return 1;
}

// tablePrev: fetches the record at the position (the last one when the
// position is at the end) and steps back, staying at 0. On an empty table it
// copies slot 0, which holds no record: a backward walk ends on
// tableAtStart, not on this result.
MORVANE_ALWAYS_INLINE int fetch_prev(core::TableDef &def, void *rptr) noexcept {
    if (def.cur >= def.used) def.cur = def.used > 0 ? def.used - 1 : 0;
    store::copy_record<store::COPY_FETCH>(def, rptr);
    if (def.cur > 0) --def.cur;
    return 1;
}

// fetch_next at level 0 in a table whose records are copied inline
// (store::copies_inline): the end test, the copy and the new position.
MORVANE_ALWAYS_INLINE int fetch_next_inline(core::TableDef &def, void *rptr) noexcept {
    const int cur = def.cur;
    if (MORVANE_UNLIKELY(cur >= def.used)) return 0;
    store::copy_inline(static_cast<char *>(rptr), store::slot32(def, cur),
                       static_cast<unsigned>(def.rsiz));
    ++def.cur;
    return 1;
}

// fetch_prev at level 0 in a table whose records are copied inline, from a
// record (`cur` below `used`): the copy and the new position.
MORVANE_ALWAYS_INLINE int fetch_prev_inline(core::TableDef &def, void *rptr) noexcept {
    const int cur = def.cur;
    store::copy_inline(static_cast<char *>(rptr), store::slot32(def, cur),
                       static_cast<unsigned>(def.rsiz));
    def.cur = cur - (cur != 0);  // stays at 0
    return 1;
}

// True when the position names a record.
inline bool on_record(const core::TableDef &def) noexcept { return def.cur < def.used; }

// tableAtStart and tableAtEnd.
inline int at_start(const core::TableDef &def) noexcept { return def.cur == 0 ? 1 : 0; }
inline int at_end(const core::TableDef &def) noexcept { return def.cur >= def.used ? 1 : 0; }

}  // namespace morvane::cursor

#endif
