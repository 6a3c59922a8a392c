// The registry of table definitions: creation, release, id validation and
// growth; the trace level with the limit derived from it.
#include "core/registry.h"

#include <cstring>

#include "core/error.h"
#include "core/sizes.h"
#include "morvane.h"
#include "platform/memory.h"

namespace morvane::core {

Registry registry;
int tableDebugLevel = 0;

void set_trace_level(int level) noexcept {
    tableDebugLevel = level;
    registry.untraced_limit = level <= 0 ? static_cast<unsigned>(registry.defsAllocd) : 0U;
}

namespace {

// Makes the registry or grows it by one step. False with code 2 recorded and
// the registry as it was when memory cannot be had.
bool extend_registry() noexcept {
    const int slots = registry.defsAllocd + kRegistryStep;
    const int bytes = byte_count(slots, sizeof(TableDef));
    void *block = nullptr;
    // bytes is -1 only beyond some 38 million slots: not reachable in tests.
    if (bytes > 0)
        block = registry.tableDefs == nullptr
                    ? platform::mem_alloc(bytes)
                    : platform::mem_realloc(registry.tableDefs, bytes);
    if (block == nullptr) {
        record_error(TERR_NOMEM);
        return false;
    }
    registry.tableDefs = static_cast<TableDef *>(block);
    std::memset(static_cast<void *>(registry.tableDefs + registry.defsAllocd), 0,
                static_cast<std::size_t>(kRegistryStep) * sizeof(TableDef));
    registry.defsAllocd = slots;
    set_trace_level(tableDebugLevel);  // the limit follows the capacity
    return true;
}

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

int new_table(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) noexcept {
    if (const int code = check_parameters(rsiz, ktyp, kmod, ftyp)) {
        record_error(code);
        return -1;
    }
    const int tabid = choose_slot();
    if (tabid < 0) return -1;

    if (recs < MORVANE_MIN_RECS) recs = MORVANE_MIN_RECS;
    const int bytes = byte_count(rsiz, recs);
    char *storage = bytes > 0 ? static_cast<char *>(platform::mem_alloc(bytes)) : nullptr;
    if (storage == nullptr) {
        // The slot stays free for a later tableNew; the registry keeps what
        // this call made of it.
        record_error(TERR_NOMEM);
        return -1;
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
    def.store = {};  // store/'s part starts as in a never-used slot
    return tabid;
}

void free_table(TableDef &def) noexcept {
    platform::mem_free(def.tptr);
    def.tptr = nullptr;
    def.store = {};
}

bool good_table_traced(int tabid) noexcept {
    MORVANE_TRACE3("good_table - input parameters\n         - tabid %d\n", tabid);
    const bool good = names_table(tabid);
    if (!good) record_error(TERR_BADID);
    MORVANE_TRACE3("good_table - return status %d\n", good ? 1 : 0);
    return good;
}

}  // namespace morvane::core
