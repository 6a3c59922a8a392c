// The traced operations, one row each, and the writer of their entry and
// exit lines. It knows nothing of the registry: the error routine writes
// tableErr's lines through it, and the frame (core/frame.h) every other
// operation's. Private to the library.
#ifndef MORVANE_CORE_OPERATIONS_H
#define MORVANE_CORE_OPERATIONS_H

#include <cstdint>

#include "core/trace.h"
#include "morvane.h"

namespace morvane::core {

// The operations that write entry and exit lines; tableSetDebug and
// tablePrint write none.
enum class Op : unsigned char {
    kNew, kFree, kCount, kErr,
    kAdd, kSet, kGet, kSeek, kDel,
    kNext, kPrev, kUpdate, kAtStart, kAtEnd,
};

// The parameters an entry line lists, in order.
enum class Params : unsigned char {
    kTable,       // tabid
    kBuffer,      // tabid, rptr
    kSelector,    // tabid, recid, rptr
    kErr,         // err
    kDefinition,  // rsiz, ktyp, kmod, ftyp, recs, rinc
};

// Which stored-definition dumps an operation writes at level 2 or more.
enum Dumps : unsigned char { kDumpNone = 0, kDumpEntry = 1, kDumpExit = 2, kDumpBoth = 3 };

// When an operation on a valid table needs a non-null buffer; without one it
// does nothing and returns 0.
enum class Needs : unsigned char {
    kNothing,  // no buffer
    kBuffer,   // always: it copies a record or reads a key
    kKey,      // only when the selector asks for a key search
};

struct Operation {
    const char *name;
    Params params;
    unsigned char indent;  // blanks before "- " on the entry line's second line
    unsigned char dumps;
    Needs needs;
    int refused;  // the result when the id names no table
};

inline constexpr Operation kOperations[] = {
    {"tableNew", Params::kDefinition, 9, kDumpExit, Needs::kNothing, -1},
    {"tableFree", Params::kTable, 9, kDumpBoth, Needs::kNothing, 1},
    {"tableCount", Params::kTable, 9, kDumpEntry, Needs::kNothing, -1},
    {"tableErr", Params::kErr, 9, kDumpNone, Needs::kNothing, 0},
    {"tableAdd", Params::kBuffer, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tableSet", Params::kBuffer, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tableGet", Params::kSelector, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tableSeek", Params::kSelector, 10, kDumpBoth, Needs::kKey, 0},
    {"tableDel", Params::kSelector, 9, kDumpBoth, Needs::kKey, 0},
    {"tableNext", Params::kBuffer, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tablePrev", Params::kBuffer, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tableUpdate", Params::kBuffer, 9, kDumpBoth, Needs::kBuffer, 0},
    {"tableAtStart", Params::kTable, 9, kDumpEntry, Needs::kNothing, 1},
    {"tableAtEnd", Params::kTable, 9, kDumpEntry, Needs::kNothing, 1},
};

static_assert(sizeof kOperations / sizeof kOperations[0] == static_cast<int>(Op::kAtEnd) + 1,
              "one row per traced operation, in the order of Op");

constexpr const Operation &operation(Op op) noexcept { return kOperations[static_cast<int>(op)]; }

// True when `recid` asks for a key search: REC_KEY and every value that is
// not one of the six selectors.
constexpr bool is_key_search(int recid) noexcept {
    return recid == REC_KEY || recid >= 0 || recid < REC_NEXT;
}

// True when an operation that needs `needs` may go ahead with `recid` and
// `rptr`: it needs no buffer here, or it has one.
constexpr bool needs_met(Needs needs, int recid, const void *rptr) noexcept {
    return needs == Needs::kNothing || rptr != nullptr ||
           (needs == Needs::kKey && !is_key_search(recid));
}

// The parameters of an entry line, one type per kind of operation.
struct TableCall {  // the operations on one table
    int tabid;
    int recid;  // a selector; 0 for the operations that take none
    const void *rptr;
};
struct ErrCall {  // tableErr
    int err;
};
struct NewCall {  // tableNew
    int rsiz, ktyp, kmod;
    std::intptr_t ftyp;
    int recs, rinc;
};

// Entry lines: the name, then the row's indent and the parameters, in one
// write. Callers test the level first.
void write_entry(Op op, const TableCall &call) noexcept;
void write_entry(Op op, const ErrCall &call) noexcept;
void write_entry(Op op, const NewCall &call) noexcept;

// The exit line: "<name> - return status <result>", or tableNew's
// "tableNew - return table id <result>".
void write_exit(Op op, int result) noexcept;

}  // namespace morvane::core

#endif
