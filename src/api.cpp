// The sixteen exported operations, each through its frame (core/frame.h) as
// its row in core/operations.h describes. The work itself is in core/
// (registry, error code, trace level), store/ (keyed access) and cursor/
// (walks).
#include "core/error.h"
#include "core/frame.h"
#include "core/registry.h"
#include "cursor/walk.h"
#include "morvane.h"
#include "store/keyed.h"
#include "store/search.h"

using namespace morvane::core;
namespace store = morvane::store;
namespace cursor = morvane::cursor;

namespace {

// tableAdd, tableNext and tablePrev have a shorter path at level 0 for
// tables whose records are copied inline (run_ready). Their other paths are
// out of line, so that the short one keeps the registers for itself: the
// whole operation with its frame, and the level-0 body for other tables.
// run_ready has taken every call that could skip the frame, so the framed
// path runs the frame itself.
MORVANE_NOINLINE int add_framed(int tabid, const void *rptr) {
    return run_framed<Op::kAdd>({tabid, 0, rptr},
                                [=](TableDef &def) { return store::add_by_key(def, rptr); });
}
MORVANE_NOINLINE int add_untraced(TableDef &def, const void *rptr) {
    MORVANE_ASSUME(!trace_on(kTraceCalls));
    return store::add_by_key(def, rptr);
}

MORVANE_NOINLINE int next_framed(int tabid, void *rptr) {
    return run_framed<Op::kNext>({tabid, 0, rptr},
                                 [=](TableDef &def) { return cursor::fetch_next(def, rptr); });
}
MORVANE_NOINLINE int next_untraced(TableDef &def, void *rptr) {
    MORVANE_ASSUME(!trace_on(kTraceCalls));
    MORVANE_ASSUME(!store::copies_inline(def));  // run_ready's fast path takes those
    return cursor::fetch_next(def, rptr);
}

MORVANE_NOINLINE int prev_framed(int tabid, void *rptr) {
    return run_framed<Op::kPrev>({tabid, 0, rptr},
                                 [=](TableDef &def) { return cursor::fetch_prev(def, rptr); });
}
// Also the first step back from the end in a table copied inline.
MORVANE_NOINLINE int prev_untraced(TableDef &def, void *rptr) {
    MORVANE_ASSUME(!trace_on(kTraceCalls));
    return cursor::fetch_prev(def, rptr);
}

}  // namespace

// The registry and the trace.

extern "C" MORVANE_API int tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs,
                                    int rinc) {
    Frame frame(NewCall{rsiz, ktyp, kmod, ftyp, recs, rinc});
    const int tabid = new_table(rsiz, ktyp, kmod, ftyp, recs, rinc);
    if (tabid >= 0) store::prepare_table(table_def(tabid));
    return frame.leave_new(tabid);
}

extern "C" MORVANE_API int tableFree(int tabid) {
    return run<Op::kFree>({tabid, 0, nullptr}, [](TableDef &def) {
        free_table(def);
        return 1;
    });
}

extern "C" MORVANE_API int tableCount(int tabid) {
    return run<Op::kCount>({tabid, 0, nullptr}, [](TableDef &def) { return def.used; });
}

// These three run without a frame: they write no entry or exit line.

extern "C" MORVANE_API int tableErr(int err) {
    [[maybe_unused]] const OneThread inside;
    return record_error(err);
}

extern "C" MORVANE_API void tableSetDebug(int level) {
    [[maybe_unused]] const OneThread inside;
    set_trace_level(level);
}

extern "C" MORVANE_API void tablePrint(int tabid) {
    [[maybe_unused]] const OneThread inside;
    dump_table(tabid);
}

// Keyed access.

extern "C" MORVANE_API int tableAdd(int tabid, const void *rptr) {
    // An append into a table with room is one comparison and a copy; every
    // other insertion searches.
    return run_ready<Op::kAdd>(
        {tabid, 0, rptr}, store::copies_inline,
        [=](TableDef &def) {
            return store::append_inline(def, rptr) ? 1 : add_untraced(def, rptr);
        },
        [=](TableDef &def) { return add_untraced(def, rptr); },
        [=] { return add_framed(tabid, rptr); });
}

extern "C" MORVANE_API int tableSet(int tabid, const void *rptr) {
    return run<Op::kSet>({tabid, 0, rptr},
                         [=](TableDef &def) { return store::set_by_key(def, rptr); });
}

extern "C" MORVANE_API int tableGet(int tabid, int recid, void *rptr) {
    return run<Op::kGet>({tabid, recid, rptr},
                         [=](TableDef &def) { return store::get_selected(def, recid, rptr); });
}

extern "C" MORVANE_API int tableSeek(int tabid, int recid, const void *rptr) {
    return run<Op::kSeek>({tabid, recid, rptr}, [=](TableDef &def) {
        return store::find_record(def, recid, rptr) ? 1 : 0;
    });
}

extern "C" MORVANE_API int tableDel(int tabid, int recid, const void *rptr) {
    return run<Op::kDel>({tabid, recid, rptr},
                         [=](TableDef &def) { return store::delete_selected(def, recid, rptr); });
}

// Walks.

extern "C" MORVANE_API int tableNext(int tabid, void *rptr) {
    return run_ready<Op::kNext>(
        {tabid, 0, rptr}, store::copies_inline,
        [=](TableDef &def) { return cursor::fetch_next_inline(def, rptr); },
        [=](TableDef &def) { return next_untraced(def, rptr); },
        [=] { return next_framed(tabid, rptr); });
}

extern "C" MORVANE_API int tablePrev(int tabid, void *rptr) {
    return run_ready<Op::kPrev>(
        {tabid, 0, rptr}, store::copies_inline,
        [=](TableDef &def) {
            // From the end (a backward walk's first step) as other tables go.
            if (MORVANE_UNLIKELY(!cursor::on_record(def))) return prev_untraced(def, rptr);
            return cursor::fetch_prev_inline(def, rptr);
        },
        [=](TableDef &def) { return prev_untraced(def, rptr); },
        [=] { return prev_framed(tabid, rptr); });
}

extern "C" MORVANE_API int tableUpdate(int tabid, const void *rptr) {
    return run<Op::kUpdate>({tabid, 0, rptr},
                            [=](TableDef &def) { return cursor::update_next(def, rptr); });
}

extern "C" MORVANE_API int tableAtStart(int tabid) {
    return run<Op::kAtStart>({tabid, 0, nullptr},
                             [](TableDef &def) { return cursor::at_start(def); });
}

extern "C" MORVANE_API int tableAtEnd(int tabid) {
    return run<Op::kAtEnd>({tabid, 0, nullptr}, [](TableDef &def) { return cursor::at_end(def); });
}
