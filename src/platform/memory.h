// The library's only way to memory: the host's memory service when the host
// process defines mallocMem, reallocMem and freeMem, else the C allocator.
// Private to the library.
#ifndef MORVANE_PLATFORM_MEMORY_H
#define MORVANE_PLATFORM_MEMORY_H

namespace morvane::platform {

// A block of `bytes` bytes, or null. `bytes` is at least 1.
void *mem_alloc(int bytes) noexcept;

// `block` resized to `bytes`, contents kept up to the smaller size, or null
// with `block` still valid.
void *mem_realloc(void *block, int bytes) noexcept;

// Releases a block obtained from mem_alloc or mem_realloc; never null.
void mem_free(void *block) noexcept;

}  // namespace morvane::platform

#endif
