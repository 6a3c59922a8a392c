// The calling thread's identity. Private to the library.
#ifndef MORVANE_PLATFORM_THREAD_H
#define MORVANE_PLATFORM_THREAD_H

#include <cstdint>

namespace morvane::platform {

// A number that no other running thread has: the address of a variable of
// which each thread has its own copy.
inline std::uintptr_t this_thread_tag() noexcept {
    static thread_local char tag;
    return reinterpret_cast<std::uintptr_t>(&tag);
}

}  // namespace morvane::platform

#endif
