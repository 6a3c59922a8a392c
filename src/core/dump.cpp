// The stored-definition dump: tablePrint and the frame's dumps.
#include <cinttypes>

#include "core/frame.h"
#include "core/registry.h"
#include "morvane.h"
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

}  // namespace morvane::core

extern "C" MORVANE_API void tablePrint(int tabid) { morvane::core::dump_table(tabid); }
