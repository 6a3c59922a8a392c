// tableNew, tableFree, tableCount: the life of a table in the registry.
#include <cstring>

#include "core/error.h"
#include "core/frame.h"
#include "core/registry.h"
#include "core/sizes.h"
#include "morvane.h"
#include "platform/memory.h"

namespace morvane::core {
namespace {

// The code that refuses these parameters, or 0 when they make a table.
int check_parameters(int rsiz, int ktyp, int kmod, std::intptr_t ftyp) noexcept {
    if (rsiz <= 0) return TERR_BADSIZE;
    switch (ktyp) {
    case KEY_INT:
        if ((ftyp != 1 && ftyp != 2 && ftyp != 4) || ftyp > rsiz) return TERR_BADFTYP;
        break;
    case KEY_STRING:
        if (ftyp < 1 || ftyp > rsiz) return TERR_BADFTYP;
        break;
    case KEY_USER:
        break;
    default:
        return TERR_BADKTYP;
    }
    if (static_cast<unsigned>(kmod) > KEY_DUPLICATES) return TERR_BADKMOD;
    return 0;
}

// The slot for a new table: the lowest free one, else the next never-used
// one, growing the registry when it is full. -1 when that fails.
int choose_slot() noexcept {
    for (int i = 0; i < registry.defsUsed; ++i)
        if (registry.tableDefs[i].tptr == nullptr) return i;
    if (registry.defsUsed == registry.defsAllocd && !extend_registry()) return -1;
    return registry.defsUsed++;
}

}  // namespace
}  // namespace morvane::core

using namespace morvane::core;
namespace platform = morvane::platform;

extern "C" MORVANE_API int tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs,
                                    int rinc) {
    Frame frame(Op::kNew, NewCall{rsiz, ktyp, kmod, ftyp, recs, rinc});
    if (const int code = check_parameters(rsiz, ktyp, kmod, ftyp)) {
        record_error(code);
        return frame.leave_silently(-1);
    }
    const int tabid = choose_slot();
    if (tabid < 0) return frame.leave_silently(-1);

    if (recs < MORVANE_MIN_RECS) recs = MORVANE_MIN_RECS;
    const int bytes = byte_count(rsiz, recs);
    char *storage = bytes > 0 ? static_cast<char *>(platform::mem_alloc(bytes)) : nullptr;
    if (storage == nullptr) {
        // The slot stays free for a later tableNew; the registry keeps what
        // this call made of it.
        record_error(TERR_NOMEM);
        return frame.leave_silently(-1);
    }
    TableDef &def = table_def(tabid);
    def.tptr = storage;
    def.rsiz = rsiz;
    def.ktyp = ktyp;
    def.kmod = kmod;
    def.ftyp = ftyp;
    def.allcd = recs;
    def.rinc = rinc < MORVANE_MIN_RINC ? MORVANE_MIN_RINC : rinc;
    def.used = 0;
    def.cur = 0;
    return frame.leave_new(tabid);
}

extern "C" MORVANE_API int tableFree(int tabid) {
    return run<Op::kFree>({tabid, 0, nullptr}, [](TableDef &def) {
        platform::mem_free(def.tptr);
        def.tptr = nullptr;
        return 1;
    });
}

extern "C" MORVANE_API int tableCount(int tabid) {
    return run<Op::kCount>({tabid, 0, nullptr}, [](TableDef &def) { return def.used; });
}
