// tableSetDebug: the trace level.
#include "core/registry.h"
#include "core/trace.h"
#include "morvane.h"

namespace morvane::core {

int tableDebugLevel = 0;

}  // namespace morvane::core

extern "C" MORVANE_API void tableSetDebug(int level) {
    morvane::core::tableDebugLevel = level;
    morvane::core::sync_untraced_limit();
}
