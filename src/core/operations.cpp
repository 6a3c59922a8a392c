#include "core/operations.h"

#include <cinttypes>

#include "platform/diag.h"

namespace morvane::core {

void write_entry(Op op, const TableCall &call) noexcept {
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
}

void write_entry(Op op, const ErrCall &call) noexcept {
    const Operation &row = operation(op);
    platform::diag_printf("%s - input parameters\n%*s- err %d\n", row.name, row.indent, "", call.err);
}

void write_entry(Op op, const NewCall &call) noexcept {
    const Operation &row = operation(op);
    platform::diag_printf("%s - input parameters\n%*s- rsiz %d  ktyp %d  kmod %d  ftyp %" PRIdPTR
                          "  recs %d  rinc %d\n",
                          row.name, row.indent, "", call.rsiz, call.ktyp, call.kmod, call.ftyp,
                          call.recs, call.rinc);
}

void write_exit(Op op, int result) noexcept {
    platform::diag_printf(op == Op::kNew ? "%s - return table id %d\n" : "%s - return status %d\n",
                          operation(op).name, result);
}

}  // namespace morvane::core
