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

// diag_check, the test behind MORVANE_CHECK, is declared in
// platform/compiler.h.

}  // namespace morvane::platform

#endif
