#include "test_memory.h"

#include <cstdlib>

namespace {
long call_count = 0, fail_at = 0, failed = 0, blocks = 0;

bool fails() {
    const bool fail = ++call_count == fail_at;
    failed += fail;
    return fail;
}
}  // namespace

extern "C" {
void *mallocMem(int bytes) {
    if (fails()) return nullptr;
    void *p = std::malloc(static_cast<std::size_t>(bytes));
    blocks += p != nullptr;
    return p;
}
void *reallocMem(void *block, int bytes) {
    return fails() ? nullptr : std::realloc(block, static_cast<std::size_t>(bytes));
}
void freeMem(void *block) {
    --blocks;
    std::free(block);
}
}

namespace testmem {
void fail_call(long n) {
    call_count = 0;
    fail_at = n;
}
long calls() { return call_count; }
long failures() { return failed; }
long live_blocks() { return blocks; }
}  // namespace testmem
