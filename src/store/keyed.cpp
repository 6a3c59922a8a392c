// The keyed operations: tableAdd, tableSet, tableGet, tableSeek, tableDel.
// Each validates the id, positions the table with find_record and then
// changes or copies one record. An operation that must read or write a
// record through a null buffer does nothing and returns 0.
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

extern "C" MORVANE_API int tableAdd(int tabid, const void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both, "tableAdd - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n",
                  tabid, as_number(rptr));
    int result = 0;
    if (good_table(tabid) && rptr != nullptr) {
        TableDef &def = table_def(tabid);
        const bool found = store::find_insertion(def, tabid, rptr);
        if ((!found || def.kmod != KEY_UNIQUE) && store::add_record(def, tabid)) {
            store::copy_record(def, tabid, const_cast<void *>(rptr), store::COPY_STORE);
            result = 1;
        }
    }
    return frame.leave("tableAdd", result);
}

extern "C" MORVANE_API int tableSet(int tabid, const void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both, "tableSet - input parameters\n         - tabid %d  rptr %" PRIdPTR "\n",
                  tabid, as_number(rptr));
    int result = 0;
    if (good_table(tabid) && rptr != nullptr) {
        TableDef &def = table_def(tabid);
        if (store::find_record(def, tabid, REC_KEY, rptr)) {
            store::copy_record(def, tabid, const_cast<void *>(rptr), store::COPY_STORE);
            result = 1;
        }
    }
    return frame.leave("tableSet", result);
}

extern "C" MORVANE_API int tableGet(int tabid, int recid, void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both,
                  "tableGet - input parameters\n         - tabid %d  recid %d  rptr %" PRIdPTR "\n", tabid, recid,
                  as_number(rptr));
    int result = 0;
    if (good_table(tabid) && rptr != nullptr) {
        TableDef &def = table_def(tabid);
        if (store::find_record(def, tabid, recid, rptr)) {
            store::copy_record(def, tabid, rptr, store::COPY_FETCH);
            result = 1;
        }
    }
    return frame.leave("tableGet", result);
}

extern "C" MORVANE_API int tableSeek(int tabid, int recid, const void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both,
                  "tableSeek - input parameters\n          - tabid %d  recid %d  rptr %" PRIdPTR "\n", tabid, recid,
                  as_number(rptr));
    int result = 0;
    if (good_table(tabid) && store::can_locate(recid, rptr))
        result = store::find_record(table_def(tabid), tabid, recid, rptr) ? 1 : 0;
    return frame.leave("tableSeek", result);
}

extern "C" MORVANE_API int tableDel(int tabid, int recid, const void *rptr) {
    MORVANE_FRAME(frame, tabid, Dumps::both,
                  "tableDel - input parameters\n         - tabid %d  recid %d  rptr %" PRIdPTR "\n", tabid, recid,
                  as_number(rptr));
    int result = 0;
    if (good_table(tabid) && store::can_locate(recid, rptr)) {
        TableDef &def = table_def(tabid);
        if (store::find_record(def, tabid, recid, rptr)) {
            store::delete_record(def, tabid);
            result = 1;
        }
    }
    return frame.leave("tableDel", result);
}
