#include "core/frame.h"

#include <cinttypes>

#include "platform/diag.h"

namespace morvane::core {

void dump_table(int tabid) noexcept {
    // Ids outside the registry print as a cleared slot: never read past it.
    static const TableDef cleared{};
    const TableDef &d = in_registry(tabid) ? table_def(tabid) : cleared;
    platform::diag_printf("    - stored definition for table id %d\n", tabid);
    platform::diag_printf("    - tptr %" PRIdPTR "  rsiz %d  ktyp %d  kmod %d  ftyp %" PRIdPTR
                          "  allcd %d  rinc %d  used %d  cur %d\n",
                          as_number(d.tptr), d.rsiz, d.ktyp, d.kmod, d.ftyp, d.allcd, d.rinc,
                          d.used, d.cur);
}

void enter_traced(Op op, const TableCall &call) noexcept {
    write_entry(op, call);
    if ((operation(op).dumps & kDumpEntry) != 0 && trace_on(kTraceDumps)) dump_table(call.tabid);
}

void leave_traced(Op op, int tabid, int result) noexcept {
    write_exit(op, result);
    if ((operation(op).dumps & kDumpExit) != 0 && trace_on(kTraceDumps)) dump_table(tabid);
}

}  // namespace morvane::core
