// The walks through a table's current position: tableNext, tablePrev and
// tableUpdate copy the record at the position and step. They never search;
// the position is set beforehand by the keyed operations.
#include <cinttypes>

#include "core/frame.h"
#include "core/registry.h"
#include "morvane.h"
#include "store/search.h"
#include "store/storage.h"

using morvane::core::as_number;
using morvane::core::Dumps;
using morvane::core::good_table;
using morvane::core::table_def;
using morvane::core::TableDef;
namespace store = morvane::store;

namespace {

// Copies the record at the position in direction `mode` and steps forward;
// false at the end, where nothing is copied and the position stays.
bool copy_and_step(int tabid, void *rptr, int mode) {
    if (!good_table(tabid) || rptr == nullptr) return false;
    TableDef &def = table_def(tabid);
    if (def.cur >= def.used) return false;
    store::copy_record(def, tabid, rptr, mode);
    ++def.cur;
    return true;
}

__attribute__((noinline)) int next_framed(int tabid, void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both, "tableNext - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n",
                  tabid, as_number(rptr));
    return frame.leave("tableNext", copy_and_step(tabid, rptr, store::COPY_FETCH) ? 1 : 0);
}

}  // namespace

extern "C" MORVANE_API int tableNext(int tabid, void *rptr) {
    // One step of a walk with the trace off, on a valid table, before the
    // end: it writes nothing and needs no frame, so it copies the record
    // without a call. This is copy_and_step with every trace test known to
    // be false (copy_record adds nothing below level 3 but its line). Every
    // other case takes the framed path.
    if (morvane::core::trace_on(morvane::core::kTraceCalls) || rptr == nullptr ||
        !morvane::core::names_table(tabid))
        return next_framed(tabid, rptr);
    TableDef &def = table_def(tabid);
    if (def.cur >= def.used) return next_framed(tabid, rptr);
    store::copy_bytes(rptr, store::slot(def, def.cur), static_cast<std::size_t>(def.rsiz));
    ++def.cur;
    return 1;
}

extern "C" MORVANE_API int tableUpdate(int tabid, const void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both,
                  "tableUpdate - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n", tabid, as_number(rptr));
    int result = 0;
    if (copy_and_step(tabid, const_cast<void *>(rptr), store::COPY_STORE)) {
        TableDef &def = table_def(tabid);
        store::note_rewrite(def, def.cur - 1);
        result = 1;
    }
    return frame.leave("tableUpdate", result);
}

// Fetches the record at the position (the last one when the position is at
// the end) and steps back, staying at 0. On an empty table it copies slot 0,
// which holds no record: a backward walk ends on tableAtStart, not on this
// result.
extern "C" MORVANE_API int tablePrev(int tabid, void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both, "tablePrev - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n",
                  tabid, as_number(rptr));
    int result = 0;
    if (good_table(tabid) && rptr != nullptr) {
        TableDef &def = table_def(tabid);
        if (def.cur >= def.used) def.cur = def.used > 0 ? def.used - 1 : 0;
        store::copy_record(def, tabid, rptr, store::COPY_FETCH);
        if (def.cur > 0) --def.cur;
        result = 1;
    }
    return frame.leave("tablePrev", result);
}
