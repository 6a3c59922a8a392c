// The walks through a table's current position: tableNext, tablePrev and
// tableUpdate copy the record at the position and step. They never search;
// the position is set beforehand by the keyed operations.
#include "core/frame.h"
#include "morvane.h"
#include "store/search.h"
#include "store/storage.h"

using morvane::core::Op;
using morvane::core::run;
using morvane::core::TableDef;
namespace store = morvane::store;

namespace {

// Copies the record at the position in direction `mode` and steps forward;
// 0 at the end, where nothing is copied and the position stays.
MORVANE_ALWAYS_INLINE int copy_and_step(TableDef &def, int tabid, void *rptr, int mode) {
    if (def.cur >= def.used) return 0;
    store::copy_record(def, tabid, rptr, mode);
    ++def.cur;
    return 1;
}

}  // namespace

extern "C" MORVANE_API int tableNext(int tabid, void *rptr) {
    return run<Op::kNext>({tabid, 0, rptr}, [=](TableDef &def) {
        return copy_and_step(def, tabid, rptr, store::COPY_FETCH);
    });
}

extern "C" MORVANE_API int tableUpdate(int tabid, const void *rptr) {
    return run<Op::kUpdate>({tabid, 0, rptr}, [=](TableDef &def) {
        if (!copy_and_step(def, tabid, const_cast<void *>(rptr), store::COPY_STORE)) return 0;
        store::note_rewrite(def, def.cur - 1);
        return 1;
    });
}

// Fetches the record at the position (the last one when the position is at
// the end) and steps back, staying at 0. On an empty table it copies slot 0,
// which holds no record: a backward walk ends on tableAtStart, not on this
// result.
extern "C" MORVANE_API int tablePrev(int tabid, void *rptr) {
    return run<Op::kPrev>({tabid, 0, rptr}, [=](TableDef &def) {
        if (def.cur >= def.used) def.cur = def.used > 0 ? def.used - 1 : 0;
        store::copy_record(def, tabid, rptr, store::COPY_FETCH);
        if (def.cur > 0) --def.cur;
        return 1;
    });
}
