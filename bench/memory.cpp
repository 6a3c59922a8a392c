// The host memory service the library binds to in this program. Each block
// carries its size in a 16-byte header (keeping malloc's alignment), so that
// freeMem can take the bytes off the count.
#include "memory.h"

#include <cstdlib>

namespace bench {
namespace {

std::size_t g_live = 0;
constexpr std::size_t kHeader = 16;

void *to_user(void *raw, int bytes) noexcept {
    if (raw == nullptr) return nullptr;
    *static_cast<std::size_t *>(raw) = static_cast<std::size_t>(bytes);
    count_alloc(static_cast<std::size_t>(bytes));
    return static_cast<char *>(raw) + kHeader;
}

void *to_raw(void *block) noexcept { return static_cast<char *>(block) - kHeader; }

}  // namespace

std::size_t live_bytes() noexcept { return g_live; }
void count_alloc(std::size_t bytes) noexcept { g_live += bytes; }
void count_free(std::size_t bytes) noexcept { g_live -= bytes; }

}  // namespace bench

extern "C" {

void *mallocMem(int bytes) {
    if (bytes < 0) return nullptr;
    return bench::to_user(std::malloc(static_cast<std::size_t>(bytes) + bench::kHeader), bytes);
}

void freeMem(void *block) {
    if (block == nullptr) return;
    void *raw = bench::to_raw(block);
    bench::count_free(*static_cast<std::size_t *>(raw));
    std::free(raw);
}

void *reallocMem(void *block, int bytes) {
    if (bytes < 0) return nullptr;
    if (block == nullptr) return mallocMem(bytes);
    void *raw = bench::to_raw(block);
    const std::size_t old = *static_cast<std::size_t *>(raw);
    void *moved = std::realloc(raw, static_cast<std::size_t>(bytes) + bench::kHeader);
    if (moved == nullptr) return nullptr;
    bench::count_free(old);
    return bench::to_user(moved, bytes);
}

}  // extern "C"
