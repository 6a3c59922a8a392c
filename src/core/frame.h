// The frame of every exported operation: entry line, entry dump, id and
// buffer checks, exit line, exit dump, all as the operation's row in
// core/operations.h says. Nothing else writes those lines. Private to the
// library.
#ifndef MORVANE_CORE_FRAME_H
#define MORVANE_CORE_FRAME_H

#include <cassert>
#include <cstdint>

#include "core/operations.h"
#include "core/registry.h"
#include "core/trace.h"
#include "platform/compiler.h"

namespace morvane::core {

// An address as the trace prints it: a signed integer as wide as the address.
inline std::intptr_t as_number(const void *p) noexcept { return reinterpret_cast<std::intptr_t>(p); }

// Writes the two dump lines of table `tabid`; all fields 0 when the id names
// no registry slot. Never records an error.
void dump_table(int tabid) noexcept;

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

// The traced halves of the frame, out of line: entry line and entry dump.
void enter(Op op, const TableCall &call) noexcept;
void enter(Op op, const ErrCall &call) noexcept;
void enter(Op op, const NewCall &call) noexcept;
void leave_traced(Op op, int tabid, int result) noexcept;

#ifndef NDEBUG
extern int open_frames;  // entries not yet matched by an exit
#endif

class Frame {
public:
    // Opens the frame of `op`; at level 1 or more writes the entry line and,
    // at level 2 or more, the entry dump the operation's row asks for.
    template <typename Call>
    Frame(Op op, const Call &call) noexcept : op_(op), tabid_(tabid_of(call)) {
#ifndef NDEBUG
        ++open_frames;
#endif
        if (trace_on(kTraceCalls)) enter(op, call);
    }

    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    // Writes "<name> - return status <result>" and the exit dump; returns
    // `result` so an operation ends with `return frame.leave(...)`.
    int leave(int result) noexcept {
        if (trace_on(kTraceCalls)) leave_traced(op_, tabid_, result);
        close();
        return result;
    }

    // tableNew's exit: "tableNew - return table id <id>" and the dump of the
    // new table.
    int leave_new(int tabid) noexcept {
        if (trace_on(kTraceCalls)) leave_traced(op_, tabid, tabid);
        close();
        return tabid;
    }

    // An exit that writes nothing (a failing tableNew).
    int leave_silently(int result) noexcept {
        close();
        return result;
    }

    ~Frame() { assert(closed_ && "operation returned without leaving its frame"); }

private:
    static int tabid_of(const TableCall &call) noexcept { return call.tabid; }
    static int tabid_of(const ErrCall &) noexcept { return -1; }
    static int tabid_of(const NewCall &) noexcept { return -1; }

    void close() noexcept {
#ifndef NDEBUG
        assert(!closed_ && open_frames > 0);
        --open_frames;
        closed_ = true;
#endif
    }

    Op op_;
    int tabid_;
#ifndef NDEBUG
    bool closed_ = false;
#else
    static constexpr bool closed_ = true;
#endif
};

// The whole of operation `op` with its frame: entry, the id check, the buffer
// check of its row, `body(def)` when both pass, exit. An id that names no
// table gives the row's result, a missing buffer 0.
template <Op op, typename Body>
MORVANE_NOINLINE int run_framed(TableCall call, Body body) noexcept {
    constexpr Operation row = operation(op);
    Frame frame(op, call);
    int result = row.refused;
    if (good_table(call.tabid))
        result = has_buffer(row.needs, call.recid, call.rptr) ? body(table_def(call.tabid)) : 0;
    return frame.leave(result);
}

// Operation `op` as run_framed runs it, with the level-0 fast path: with the
// trace off, a valid id and the buffer it needs, nothing would be written,
// so `body` runs without the frame.
template <Op op, typename Body>
MORVANE_ALWAYS_INLINE int run(TableCall call, Body body) noexcept {
    if (TableDef *def = untraced_table(call.tabid);
        MORVANE_LIKELY(def != nullptr && has_buffer(operation(op).needs, call.recid, call.rptr))) {
        // untraced_table answers only with the trace off: the body's own
        // trace tests fold away.
        MORVANE_ASSUME(!trace_on(kTraceCalls));
        return body(*def);
    }
    return run_framed<op>(call, body);
}

}  // namespace morvane::core

#endif
