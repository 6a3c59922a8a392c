// The keyed operations: tableAdd, tableSet, tableGet, tableSeek, tableDel.
// Each positions the table with find_record and then changes or copies one
// record; the frame has checked the id and the buffer.
#include "core/frame.h"
#include "morvane.h"
#include "store/search.h"
#include "store/storage.h"

using morvane::core::Op;
using morvane::core::run;
using morvane::core::TableDef;
namespace store = morvane::store;

extern "C" MORVANE_API int tableAdd(int tabid, const void *rptr) {
    return run<Op::kAdd>({tabid, 0, rptr}, [=](TableDef &def) {
        const bool found = store::find_insertion(def, tabid, rptr);
        if ((found && def.kmod == KEY_UNIQUE) || !store::add_record(def, tabid)) return 0;
        store::copy_record(def, tabid, const_cast<void *>(rptr), store::COPY_STORE);
        return 1;
    });
}

extern "C" MORVANE_API int tableSet(int tabid, const void *rptr) {
    return run<Op::kSet>({tabid, 0, rptr}, [=](TableDef &def) {
        if (!store::find_record(def, tabid, REC_KEY, rptr)) return 0;
        store::copy_record(def, tabid, const_cast<void *>(rptr), store::COPY_STORE);
        return 1;
    });
}

extern "C" MORVANE_API int tableGet(int tabid, int recid, void *rptr) {
    return run<Op::kGet>({tabid, recid, rptr}, [=](TableDef &def) {
        if (!store::find_record(def, tabid, recid, rptr)) return 0;
        store::copy_record(def, tabid, rptr, store::COPY_FETCH);
        return 1;
    });
}

extern "C" MORVANE_API int tableSeek(int tabid, int recid, const void *rptr) {
    return run<Op::kSeek>({tabid, recid, rptr}, [=](TableDef &def) {
        return store::find_record(def, tabid, recid, rptr) ? 1 : 0;
    });
}

extern "C" MORVANE_API int tableDel(int tabid, int recid, const void *rptr) {
    return run<Op::kDel>({tabid, recid, rptr}, [=](TableDef &def) {
        if (!store::find_record(def, tabid, recid, rptr)) return 0;
        store::delete_record(def, tabid);
        return 1;
    });
}
