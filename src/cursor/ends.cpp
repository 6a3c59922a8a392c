// tableAtStart and tableAtEnd: where the current position stands. Both
// answer 1 for an invalid id, so that a walk testing them ends there.
#include "core/frame.h"
#include "core/registry.h"
#include "morvane.h"

using morvane::core::Dumps;
using morvane::core::good_table;
using morvane::core::table_def;

extern "C" MORVANE_API int tableAtStart(int tabid) {
    MORVANE_FRAME(frame, tabid, Dumps::entry, "tableAtStart - input parameters\n         - tabid %d\n", tabid);
    const int result = good_table(tabid) ? (table_def(tabid).cur == 0 ? 1 : 0) : 1;
    return frame.leave("tableAtStart", result);
}

extern "C" MORVANE_API int tableAtEnd(int tabid) {
    MORVANE_FRAME(frame, tabid, Dumps::entry, "tableAtEnd - input parameters\n         - tabid %d\n", tabid);
    const int result = good_table(tabid) ? (table_def(tabid).cur >= table_def(tabid).used ? 1 : 0) : 1;
    return frame.leave("tableAtEnd", result);
}
