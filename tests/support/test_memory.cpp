#include "test_memory.h"

#include <cstdlib>

namespace {
long call_count = 0, fail_at = 0, failed = 0, blocks = 0;

bool fails() {
    const bool fail = ++call_count == fail_at;
    return failed += fail, fail;
}
}  // namespace

extern "C" {
void *mallocMem(int bytes) {
    void *p = fails() ? nullptr : std::malloc(static_cast<std::size_t>(bytes));
    return blocks += p != nullptr, p;
}
void *reallocMem(void *block, int bytes) {
    return fails() ? nullptr : std::realloc(block, static_cast<std::size_t>(bytes));
}
void freeMem(void *block) {
    --blocks;
    std::free(block);
}
}

void testmem::fail_call(long n) { call_count = 0, fail_at = n; }
long testmem::calls() { return call_count; }
long testmem::failures() { return failed; }
long testmem::live_blocks() { return blocks; }
