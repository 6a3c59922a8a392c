#include "core/frame.h"

#include <cinttypes>

#include "platform/diag.h"

namespace morvane::core {

#ifndef NDEBUG
int open_frames = 0;
#endif

namespace {

void entry_dump(Op op, int tabid) noexcept {
    if ((operation(op).dumps & kDumpEntry) != 0 && trace_on(kTraceDumps)) dump_table(tabid);
}

}  // namespace

// Each entry line is one write of its two lines: the name, then the row's
// indent and the parameters.
void enter(Op op, const TableCall &call) noexcept {
    const Operation &row = operation(op);
    if (row.params == Params::kTable)
        platform::diag_printf("%s - input parameters\n%*s- tabid %d\n", row.name, row.indent, "",
                              call.tabid);
    else if (row.params == Params::kBuffer)
        platform::diag_printf("%s - input parameters\n%*s- tabid %d  rptr %" PRIdPTR "\n", row.name,
                              row.indent, "", call.tabid, as_number(call.rptr));
    else
        platform::diag_printf("%s - input parameters\n%*s- tabid %d  recid %d  rptr %" PRIdPTR "\n",
                              row.name, row.indent, "", call.tabid, call.recid,
                              as_number(call.rptr));
    entry_dump(op, call.tabid);
}

void enter(Op op, const ErrCall &call) noexcept {
    const Operation &row = operation(op);
    platform::diag_printf("%s - input parameters\n%*s- err %d\n", row.name, row.indent, "", call.err);
}

void enter(Op op, const NewCall &call) noexcept {
    const Operation &row = operation(op);
    platform::diag_printf("%s - input parameters\n%*s- rsiz %d  ktyp %d  kmod %d  ftyp %" PRIdPTR
                          "  recs %d  rinc %d\n",
                          row.name, row.indent, "", call.rsiz, call.ktyp, call.kmod, call.ftyp,
                          call.recs, call.rinc);
}

void leave_traced(Op op, int tabid, int result) noexcept {
    const Operation &row = operation(op);
    if (op == Op::kNew)
        platform::diag_printf("%s - return table id %d\n", row.name, result);
    else
        platform::diag_printf("%s - return status %d\n", row.name, result);
    if ((row.dumps & kDumpExit) != 0 && trace_on(kTraceDumps)) dump_table(tabid);
}

}  // namespace morvane::core
