#include "platform/memory.h"

#include <cstdlib>

#include "platform/compiler.h"

// The host's memory service. Weak undefined references resolve through the
// dynamic linker when the library is loaded: to the host's definitions when
// the process exports them, else to null. Referencing them here also makes
// the linker export a host executable's definitions without -rdynamic.
extern "C" {
MORVANE_WEAK void *mallocMem(int bytes);
MORVANE_WEAK void *reallocMem(void *block, int bytes);
MORVANE_WEAK void freeMem(void *block);
}

namespace morvane::platform {
namespace {

void *c_alloc(int bytes) { return std::malloc(static_cast<std::size_t>(bytes)); }
void *c_realloc(void *block, int bytes) {
    return std::realloc(block, static_cast<std::size_t>(bytes));
}
void c_free(void *block) { std::free(block); }

struct Service {
    void *(*alloc)(int);
    void *(*realloc)(void *, int);
    void (*release)(void *);
};

Service bound{};
bool is_bound = false;

// Bound once, on first use: the host's three functions when it defines all
// of them, otherwise the C allocator's. Never a mix of the two. A plain flag
// rather than a guarded static: the library serves one thread at a time, and
// this keeps it free of the C++ runtime.
const Service &service() noexcept {
    if (!is_bound) {
        bound = (&mallocMem && &reallocMem && &freeMem) ? Service{&mallocMem, &reallocMem, &freeMem}
                                                        : Service{&c_alloc, &c_realloc, &c_free};
        is_bound = true;
    }
    return bound;
}

}  // namespace

void *mem_alloc(int bytes) noexcept { return service().alloc(bytes); }
void *mem_realloc(void *block, int bytes) noexcept { return service().realloc(block, bytes); }
void mem_free(void *block) noexcept { service().release(block); }

}  // namespace morvane::platform
