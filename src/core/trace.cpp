#include "core/trace.h"

#include "morvane.h"

namespace morvane::core {

int tableDebugLevel = 0;

}  // namespace morvane::core

extern "C" MORVANE_API void tableSetDebug(int level) { morvane::core::tableDebugLevel = level; }
