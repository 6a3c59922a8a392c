// The registry of table definitions behind the table ids, and the trace
// level, whose one writer also derives the registry's fast-path limit.
// Private to the library.
#ifndef MORVANE_CORE_REGISTRY_H
#define MORVANE_CORE_REGISTRY_H

#include <cstdint>

#include "core/trace.h"
#include "platform/compiler.h"

namespace morvane::core {

// The stored definition of one table: first the nine dumped fields, in dump
// order; then the part store/ owns, which core/ zeroes with the slot (when
// a table is made and when it is freed) and never reads. Both live in the
// registry slot: no block of their own.
struct TableDef {
    char *tptr;          // record storage; null marks the slot free
    int rsiz;            // record size in bytes
    int ktyp;            // KEY_INT, KEY_STRING or KEY_USER
    int kmod;            // KEY_UNIQUE or KEY_DUPLICATES
    std::intptr_t ftyp;  // key width, key length or TableCompareFn
    int allcd;           // record slots in the storage
    int rinc;            // slots added when the storage is full
    int used;            // records held
    int cur;             // current position, 0 to used

    struct StorePart {
        unsigned char copy;    // how records are copied (store/storage.h);
                               // 0 while the slot holds no table
        unsigned char append;  // the comparison an append may make instead
                               // of a search (store/search.h), 0 for none
        unsigned char spare[14];  // room for store/'s per-table caches
    } store;
};

// 64 bytes: an id becomes its definition's address with one shift.
static_assert(sizeof(TableDef) == 64, "a power of two, for the id to address step");

// Registry state. Slots from defsUsed up to defsAllocd have never been used
// and are all zero; a slot below defsUsed with a null tptr is free.
struct Registry {
    TableDef *tableDefs = nullptr;
    int defsAllocd = 0;
    int defsUsed = 0;
    // defsAllocd while the trace is off (level 0 or less), else 0: one
    // unsigned compare of an id against it tells a call that may skip its
    // frame. Written only by set_trace_level.
    unsigned untraced_limit = 0;
};

extern Registry registry;

// Slots the registry grows by.
constexpr int kRegistryStep = 100;

// tableSetDebug: stores the trace level and derives untraced_limit from it.
// The only writer of either.
void set_trace_level(int level) noexcept;

// tableNew's work: validates the parameters and makes the table. Its id, or
// -1 with the refusing code recorded (a failing memory service leaves the
// slot free for a later call).
int new_table(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) noexcept;

// Releases the storage of a valid table; its slot becomes free and store/'s
// part is zeroed.
void free_table(TableDef &def) noexcept;

// The definition in slot `tabid`, which the caller has validated.
inline TableDef &table_def(int tabid) noexcept { return registry.tableDefs[tabid]; }

// The id of a definition in the registry, as the trace prints it.
inline int table_id(const TableDef &def) noexcept {
    return static_cast<int>(&def - registry.tableDefs);
}

// True when `tabid` names a registry slot, whatever it holds.
inline bool in_registry(int tabid) noexcept {
    return tabid >= 0 && tabid < registry.defsAllocd;
}

// True when `tabid` names a table: a registry slot holding storage.
inline bool names_table(int tabid) noexcept {
    return in_registry(tabid) && table_def(tabid).tptr != nullptr;
}

bool good_table_traced(int tabid) noexcept;

// Validates a table id. Side effect: records TERR_BADID (and writes its
// warning) when the id names no table.
inline bool good_table(int tabid) noexcept {
    if (trace_on(kTraceInternals)) return good_table_traced(tabid);
    if (MORVANE_LIKELY(names_table(tabid))) return true;
    return good_table_traced(tabid);
}

// The definition of table `tabid` when the trace is off and the id names a
// table, else null. A call that gets a definition writes no line and records
// no code for its id: it may skip its frame.
inline TableDef *untraced_table(int tabid) noexcept {
    if (static_cast<unsigned>(tabid) >= registry.untraced_limit) return nullptr;
    TableDef *def = registry.tableDefs + tabid;
    return MORVANE_LIKELY(def->tptr != nullptr) ? def : nullptr;
}

}  // namespace morvane::core

#endif
