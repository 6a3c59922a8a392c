// The frame of every exported operation on a table and of tableNew: entry
// line, entry dump, id and buffer checks, exit line, exit dump, all as the
// operation's row in core/operations.h says. Private to the library.
#ifndef MORVANE_CORE_FRAME_H
#define MORVANE_CORE_FRAME_H

#include <cstddef>

#include "core/one_thread.h"
#include "core/operations.h"
#include "core/registry.h"
#include "core/trace.h"
#include "platform/compiler.h"

namespace morvane::core {

// Writes the two dump lines of table `tabid`; all fields 0 when the id names
// no registry slot. Never records an error.
void dump_table(int tabid) noexcept;

// The traced halves of the frame, out of line: entry line and entry dump;
// exit line and exit dump.
void enter_traced(Op op, const TableCall &call) noexcept;
void leave_traced(Op op, int tabid, int result) noexcept;

class Frame {
public:
    // Opens the frame of `op`; at level 1 or more writes the entry line and,
    // at level 2 or more, the entry dump the operation's row asks for.
    Frame(Op op, const TableCall &call) noexcept : op_(op), tabid_(call.tabid) {
        if (trace_on(kTraceCalls)) enter_traced(op, call);
    }
    // tableNew's frame, which names no table on entry.
    explicit Frame(const NewCall &call) noexcept : op_(Op::kNew), tabid_(-1) {
        if (trace_on(kTraceCalls)) write_entry(Op::kNew, call);
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
    // new table; a failing tableNew writes nothing.
    int leave_new(int tabid) noexcept {
        if (tabid >= 0 && trace_on(kTraceCalls)) leave_traced(op_, tabid, tabid);
        close();
        return tabid;
    }

    // An operation that returned without leaving its frame wrote no exit.
    ~Frame() { MORVANE_CHECK(closed_); }

private:
    void close() noexcept {
#ifndef NDEBUG
        MORVANE_CHECK(!closed_);
        closed_ = true;
#endif
    }

    Op op_;
    int tabid_;
#ifndef NDEBUG
    OneThread inside_;
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
        result = needs_met(row.needs, call.recid, call.rptr) ? body(table_def(call.tabid)) : 0;
    return frame.leave(result);
}

// Operation `op` as run_framed runs it, with the level-0 fast path: with the
// trace off, a valid id and the buffer it needs, nothing would be written,
// so `body` runs without the frame.
template <Op op, typename Body>
MORVANE_ALWAYS_INLINE int run(TableCall call, Body body) noexcept {
    [[maybe_unused]] const OneThread inside;
    if (TableDef *def = untraced_table(call.tabid);
        MORVANE_LIKELY(def != nullptr && needs_met(operation(op).needs, call.recid, call.rptr))) {
        // untraced_table answers only with the trace off: the body's own
        // trace tests fold away.
        MORVANE_ASSUME(!trace_on(kTraceCalls));
        return body(*def);
    }
    return run_framed<op>(call, body);
}

// A shorter level-0 path for the operations that copy a record. With the
// trace off, a slot for which `ready` holds (true only while the slot holds
// a table) and a buffer, `fast` runs: the slot's storage pointer is not
// tested, `ready` stands for it. Another table gets `body`, as run<op>
// would run it at level 0. Anything else calls `other`, which runs the
// operation with its frame (run_framed) out of line, so that the fast path
// keeps the registers for itself.
template <Op op, typename Ready, typename Fast, typename Body, typename Other>
MORVANE_ALWAYS_INLINE int run_ready(TableCall call, Ready ready, Fast fast, Body body,
                                    Other other) noexcept {
    static_assert(operation(op).needs == Needs::kBuffer, "for operations that copy a record");
    [[maybe_unused]] const OneThread inside;
    const std::size_t index = static_cast<unsigned>(call.tabid);
    if (MORVANE_LIKELY(index < registry.untraced_limit)) {
        TableDef &def = registry.tableDefs[index];
        if (MORVANE_LIKELY(call.rptr != nullptr)) {
            // untraced_limit is nonzero only with the trace off.
            MORVANE_ASSUME(!trace_on(kTraceCalls));
            if (MORVANE_LIKELY(ready(def))) return fast(def);
            if (def.tptr != nullptr) return body(def);
        }
    }
    return other();
}

}  // namespace morvane::core

#endif
