#include "platform/diag.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace morvane::platform {
namespace {

bool pipe_signal_pending() noexcept {
    sigset_t pending;
    sigemptyset(&pending);
    (void)sigpending(&pending);  // fails only for an address outside the process
    return sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

// A write to a pipe without a reader raises SIGPIPE, whose default action
// ends the process. The library's lines must never end the host, so the
// signal is blocked in this thread for the write; one that the write itself
// raised is then taken off the pending set before the mask is restored,
// while one the host already had pending stays for the host.
void diag_printf(const char *fmt, ...) noexcept {
    const int saved_errno = errno;
    sigset_t pipe_only, previous;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    const bool host_pending = pipe_signal_pending();
    pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);

    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);

    if (!host_pending && pipe_signal_pending()) {
        const timespec no_wait{};
        sigtimedwait(&pipe_only, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved_errno;
}

void diag_check(bool holds, const char *line) noexcept {
    if (MORVANE_LIKELY(holds)) return;
    // GCOVR_EXCL_START: runs only in a process that it ends; gcov writes nothing there
    diag_printf("%s", line);
    std::abort();
    // GCOVR_EXCL_STOP
}

}  // namespace morvane::platform
