// tableAtStart and tableAtEnd: where the current position stands. Both
// answer 1 for an invalid id, so that a walk testing them ends there.
#include "core/frame.h"
#include "morvane.h"

using morvane::core::Op;
using morvane::core::run;
using morvane::core::TableDef;

extern "C" MORVANE_API int tableAtStart(int tabid) {
    return run<Op::kAtStart>({tabid, 0, nullptr},
                             [](TableDef &def) { return def.cur == 0 ? 1 : 0; });
}

extern "C" MORVANE_API int tableAtEnd(int tabid) {
    return run<Op::kAtEnd>({tabid, 0, nullptr},
                           [](TableDef &def) { return def.cur >= def.used ? 1 : 0; });
}
