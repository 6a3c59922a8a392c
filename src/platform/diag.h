// The diagnostic stream: standard error. Private to the library.
#ifndef MORVANE_PLATFORM_DIAG_H
#define MORVANE_PLATFORM_DIAG_H

#include "platform/compiler.h"

namespace morvane::platform {

// One formatted write to the diagnostic stream; its result is ignored, and
// neither SIGPIPE nor errno carries it to the host.
// Standard error is unbuffered unless the host changes that, so the text is
// normally out when this returns.
void diag_printf(const char *fmt, ...) noexcept MORVANE_PRINTF(1, 2);

// Writes `line` to the diagnostic stream and ends the process abnormally:
// for a broken rule after which nothing the library does can be trusted.
[[noreturn]] void diag_abort(const char *line) noexcept;

}  // namespace morvane::platform

#endif
