#include "platform/diag.h"

#include <cstdarg>
#include <cstdio>

namespace morvane::platform {

void diag_printf(const char *fmt, ...) noexcept {
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
}

}  // namespace morvane::platform
