// The registry of table definitions behind the table ids. Private to the
// library.
#ifndef MORVANE_CORE_REGISTRY_H
#define MORVANE_CORE_REGISTRY_H

#include <cstdint>

#include "core/trace.h"
#include "platform/compiler.h"

namespace morvane::core {

// The stored definition of one table, fields in dump order.
struct TableDef {
    char *tptr;        // record storage; null marks the slot free
    int rsiz;          // record size in bytes
    int ktyp;          // KEY_INT, KEY_STRING or KEY_USER
    int kmod;          // KEY_UNIQUE or KEY_DUPLICATES
    int unordered;     // not dumped: nonzero once a rewrite may have broken
                       // the key order (store/search.h, find_insertion)
    std::intptr_t ftyp;  // key width, key length or TableCompareFn
    int allcd;         // record slots in the storage
    int rinc;          // slots added when the storage is full
    int used;          // records held
    int cur;           // current position, 0 to used
};

// Registry state. Slots from defsUsed up to defsAllocd have never been used
// and are all zero; a slot below defsUsed with a null tptr is free.
struct Registry {
    TableDef *tableDefs = nullptr;
    int defsAllocd = 0;
    int defsUsed = 0;
    // defsAllocd while the trace is off (level 0 or less), else 0: one
    // unsigned compare of an id against it tells a call that may skip its
    // frame. tableSetDebug and registry growth keep it current.
    unsigned untracedLimit = 0;
};

extern Registry registry;

// Slots the registry grows by.
constexpr int kRegistryStep = 100;

// Makes the registry or grows it by one step. False with code 2 recorded and
// the registry as it was when memory cannot be had.
bool extend_registry() noexcept;

// Brings untracedLimit up to date with the trace level and the registry.
void sync_untraced_limit() noexcept;

// The definition in slot `tabid`, which the caller has validated.
inline TableDef &table_def(int tabid) noexcept { return registry.tableDefs[tabid]; }

// True when `tabid` names a registry slot, whatever it holds.
inline bool in_registry(int tabid) noexcept {
    return tabid >= 0 && tabid < registry.defsAllocd;
}

// True when `tabid` names a table: a registry slot holding storage.
inline bool names_table(int tabid) noexcept {
    return in_registry(tabid) && table_def(tabid).tptr != nullptr;
}

bool good_table_traced(int tabid) noexcept;

// Validates a table id, recording TERR_BADID when it names no table.
inline bool good_table(int tabid) noexcept {
    if (trace_on(kTraceInternals)) return good_table_traced(tabid);
    if (MORVANE_LIKELY(names_table(tabid))) return true;
    return good_table_traced(tabid);
}

// The definition of table `tabid` when the trace is off and the id names a
// table, else null. A call that gets a definition writes no line and records
// no code for its id: it may skip its frame.
inline TableDef *untraced_table(int tabid) noexcept {
    if (static_cast<unsigned>(tabid) >= registry.untracedLimit) return nullptr;
    TableDef *def = registry.tableDefs + tabid;
    return MORVANE_LIKELY(def->tptr != nullptr) ? def : nullptr;
}

}  // namespace morvane::core

#endif
