#include "test_memory.h"

#include <cstdlib>
#include <cstring>

namespace {

long call_count = 0;
long fail_at = 0;           // 0: no single failure planned
long fail_onwards = 0;      // 0: no persistent failure planned
long blocks = 0;
long bytes_live = 0;

// Each block carries its size in a header so that bytes can be counted.
constexpr std::size_t kHeader = 16;

bool next_call_fails() {
    ++call_count;
    return call_count == fail_at || (fail_onwards != 0 && call_count >= fail_onwards);
}

}  // namespace

extern "C" {

void *mallocMem(int bytes) {
    if (next_call_fails() || bytes <= 0) return nullptr;
    auto *raw = static_cast<char *>(std::malloc(kHeader + static_cast<std::size_t>(bytes)));
    if (raw == nullptr) return nullptr;
    std::memcpy(raw, &bytes, sizeof bytes);
    ++blocks;
    bytes_live += bytes;
    return raw + kHeader;
}

void *reallocMem(void *block, int bytes) {
    if (next_call_fails() || bytes <= 0) return nullptr;
    char *raw = static_cast<char *>(block) - kHeader;
    int old = 0;
    std::memcpy(&old, raw, sizeof old);
    auto *moved = static_cast<char *>(std::realloc(raw, kHeader + static_cast<std::size_t>(bytes)));
    if (moved == nullptr) return nullptr;
    std::memcpy(moved, &bytes, sizeof bytes);
    bytes_live += bytes - old;
    return moved + kHeader;
}

void freeMem(void *block) {
    char *raw = static_cast<char *>(block) - kHeader;
    int old = 0;
    std::memcpy(&old, raw, sizeof old);
    --blocks;
    bytes_live -= old;
    std::free(raw);
}

}  // extern "C"

namespace testmem {

void reset() {
    call_count = 0;
    fail_at = 0;
    fail_onwards = 0;
}
void fail_call(long n) {
    reset();
    fail_at = n;
}
void fail_from(long n) {
    reset();
    fail_onwards = n;
}
long calls() { return call_count; }
long live_blocks() { return blocks; }
long live_bytes() { return bytes_live; }

}  // namespace testmem
