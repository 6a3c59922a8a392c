// The test programs' memory service: the library binds to the mallocMem,
// reallocMem and freeMem defined here, which count live blocks and fail the
// calls a test chooses.
#ifndef MORVANE_TESTS_TEST_MEMORY_H
#define MORVANE_TESTS_TEST_MEMORY_H

namespace testmem {

// Forgets any planned failure and zeroes the call counter (not the live
// block count, which follows the blocks).
void reset();

// The `n`-th allocating call from now (mallocMem or reallocMem, counting
// from 1) fails; the others succeed.
void fail_call(long n);

// Every allocating call from the `n`-th on fails, until reset().
void fail_from(long n);

// Allocating calls made since reset().
long calls();

// Blocks handed out and not yet freed (reallocMem keeps the count).
long live_blocks();

// Bytes in live blocks.
long live_bytes();

}  // namespace testmem

#endif
