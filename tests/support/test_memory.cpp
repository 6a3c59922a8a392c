#include "test_memory.h"

#include <cstdlib>

namespace {
long call_count = 0, fail_at = 0, failed = 0, blocks = 0;
bool fail_onwards = false;

bool fails() {
    ++call_count;
    const bool fail = fail_at > 0 && (call_count == fail_at || (fail_onwards && call_count > fail_at));
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

void testmem::fail_call(long n, bool onwards) { call_count = 0, fail_at = n, fail_onwards = onwards; }
void testmem::stop_failing() { fail_at = 0; }
long testmem::calls() { return call_count; }
long testmem::failures() { return failed; }
long testmem::live_blocks() { return blocks; }
