// tableNew, tableFree, tableCount: the life of a table in the registry.
#include <cinttypes>
#include <cstring>

#include "core/error.h"
#include "core/frame.h"
#include "core/registry.h"
#include "core/sizes.h"
#include "morvane.h"
#include "platform/memory.h"

namespace morvane::core {
namespace {

constexpr int kRegistryStep = 100;  // slots the registry grows by
constexpr int kMinRecs = 100;       // smallest initial storage, in records
constexpr int kMinRinc = 50;        // smallest growth step, in records

// The code that refuses these parameters, or 0 when they make a table.
int check_parameters(int rsiz, int ktyp, int kmod, std::intptr_t ftyp) noexcept {
    if (rsiz <= 0) return kErrBadSize;
    switch (ktyp) {
    case KEY_INT:
        if ((ftyp != 1 && ftyp != 2 && ftyp != 4) || ftyp > rsiz) return kErrBadFtyp;
        break;
    case KEY_STRING:
        if (ftyp < 1 || ftyp > rsiz) return kErrBadFtyp;
        break;
    case KEY_USER:
        break;
    default:
        return kErrBadKtyp;
    }
    if (static_cast<unsigned>(kmod) > KEY_DUPLICATES) return kErrBadKmod;
    return 0;
}

// Clears slots [from, to) of the registry.
void clear_slots(int from, int to) noexcept {
    std::memset(static_cast<void *>(registry.tableDefs + from), 0,
                static_cast<std::size_t>(to - from) * sizeof(TableDef));
}

// Makes the registry or grows it by one step. False with code 2 recorded and
// the registry as it was when memory cannot be had.
bool extend_registry() noexcept {
    const int slots = registry.defsAllocd + kRegistryStep;
    const int bytes = byte_count(slots, sizeof(TableDef));
    void *block = nullptr;
    // bytes is -1 only beyond some 44 million slots: not reachable in tests.
    if (bytes > 0)
        block = registry.tableDefs == nullptr
                    ? platform::mem_alloc(bytes)
                    : platform::mem_realloc(registry.tableDefs, bytes);
    if (block == nullptr) {
        record_error(kErrNoMem);
        return false;
    }
    registry.tableDefs = static_cast<TableDef *>(block);
    clear_slots(registry.defsAllocd, slots);
    registry.defsAllocd = slots;
    return true;
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
    MORVANE_FRAME(frame, -1, Dumps::none,
                "tableNew - input parameters\n         - rsiz %d  ktyp %d  kmod %d  ftyp %" PRIdPTR
                "  recs %d  rinc %d\n",
                rsiz, ktyp, kmod, ftyp, recs, rinc);
    if (const int code = check_parameters(rsiz, ktyp, kmod, ftyp)) {
        record_error(code);
        return frame.leave_silently(-1);
    }
    const int tabid = choose_slot();
    if (tabid < 0) return frame.leave_silently(-1);

    if (recs < kMinRecs) recs = kMinRecs;
    const int bytes = byte_count(rsiz, recs);
    char *storage = bytes > 0 ? static_cast<char *>(platform::mem_alloc(bytes)) : nullptr;
    if (storage == nullptr) {
        // The slot stays free for a later tableNew; the registry keeps what
        // this call made of it.
        record_error(kErrNoMem);
        return frame.leave_silently(-1);
    }
    TableDef &def = table_def(tabid);
    def.tptr = storage;
    def.rsiz = rsiz;
    def.ktyp = ktyp;
    def.kmod = kmod;
    def.ftyp = ftyp;
    def.allcd = recs;
    def.rinc = rinc < kMinRinc ? kMinRinc : rinc;
    def.used = 0;
    def.cur = 0;
    return frame.leave_new(tabid);
}

extern "C" MORVANE_API int tableFree(int tabid) {
    MORVANE_FRAME(frame, tabid, Dumps::both, "tableFree - input parameters\n         - tabid %d\n", tabid);
    if (good_table(tabid)) {
        TableDef &def = table_def(tabid);
        platform::mem_free(def.tptr);
        def.tptr = nullptr;
    }
    return frame.leave("tableFree", 1);
}

extern "C" MORVANE_API int tableCount(int tabid) {
    MORVANE_FRAME(frame, tabid, Dumps::entry, "tableCount - input parameters\n         - tabid %d\n", tabid);
    const int result = good_table(tabid) ? table_def(tabid).used : -1;
    return frame.leave("tableCount", result);
}
