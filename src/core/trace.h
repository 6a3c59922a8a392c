// Trace level and the gate every trace line passes.
//
// What each level adds (comparisons are signed, so negative levels act as 0):
//   any : the warning line of every recorded error code other than 1
//   1   : the entry and exit line of each exported operation
//   2   : the stored-definition dump of the named table around each call
//   3   : the lines of the internal routines (id check, key search, record
//         moves and copies)
// At level 0 a successful call formats nothing: every line is behind a test
// of the level, made before any argument is prepared.
#ifndef MORVANE_CORE_TRACE_H
#define MORVANE_CORE_TRACE_H

#include <cstdint>

#include "platform/compiler.h"
#include "platform/diag.h"

namespace morvane::core {

// An address as the trace prints it: a signed integer as wide as the address.
inline std::intptr_t as_number(const void *p) noexcept { return reinterpret_cast<std::intptr_t>(p); }

enum TraceLevel : int { kTraceCalls = 1, kTraceDumps = 2, kTraceInternals = 3 };

// Written only by set_trace_level (core/registry.h), which also derives the
// registry's untraced_limit from it.
extern int tableDebugLevel;

inline bool trace_on(int level) noexcept { return MORVANE_UNLIKELY(tableDebugLevel >= level); }

}  // namespace morvane::core

// Writes one line of an internal routine at level 3 or more.
#define MORVANE_TRACE3(...)                                                   \
    do {                                                                      \
        if (::morvane::core::trace_on(::morvane::core::kTraceInternals))      \
            ::morvane::platform::diag_printf(__VA_ARGS__);                    \
    } while (0)

#endif
