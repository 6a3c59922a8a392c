#include "core/frame.h"

#include <cinttypes>

#include "core/registry.h"
#include "morvane.h"

namespace morvane::core {

#ifndef NDEBUG
int open_frames = 0;
#endif

void dump_table(int tabid) noexcept {
    // Ids outside the registry print as a cleared slot: never read past it.
    static const TableDef cleared{};
    const TableDef &d = in_registry(tabid) ? table_def(tabid) : cleared;
    platform::diag_printf("    - stored definition for table id %d\n", tabid);
    platform::diag_printf("    - tptr %" PRIdPTR "  rsiz %d  ktyp %d  kmod %d  ftyp %" PRIdPTR
                          "  allcd %d  rinc %d  used %d  cur %d\n",
                          reinterpret_cast<std::intptr_t>(d.tptr), d.rsiz, d.ktyp, d.kmod, d.ftyp,
                          d.allcd, d.rinc, d.used, d.cur);
}

}  // namespace morvane::core

extern "C" MORVANE_API void tablePrint(int tabid) { morvane::core::dump_table(tabid); }
