#include "core/one_thread.h"

#ifndef NDEBUG

#include <atomic>
#include <cstdint>

#include "platform/diag.h"
#include "platform/thread.h"

namespace morvane::core {
namespace {

// The thread inside the library (0: none), and how deeply it has entered;
// only that thread changes the depth.
std::atomic<std::uintptr_t> owner{0};
int depth = 0;

}  // namespace

void enter_library() noexcept {
    const std::uintptr_t self = platform::this_thread_tag();
    std::uintptr_t inside = 0;
    // Taken by this thread, or already held by it (an operation's frame
    // inside its own untraced attempt); any other holder is a second thread.
    if (!owner.compare_exchange_strong(inside, self, std::memory_order_acquire))
        platform::diag_check(inside == self, "morvane: two threads inside the library at once; it serves one thread at a time\n");
    ++depth;
}

void leave_library() noexcept {
    if (--depth == 0) owner.store(0, std::memory_order_release);
}

}  // namespace morvane::core

#endif
