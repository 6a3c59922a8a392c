// The test programs' memory service: the library binds to the mallocMem,
// reallocMem and freeMem defined here, which count live blocks and fail the
// calls a test chooses.
#ifndef MORVANE_TESTS_TEST_MEMORY_H
#define MORVANE_TESTS_TEST_MEMORY_H

namespace testmem {

// The n-th allocating call from now (from 1) fails, and with `onwards` every
// call after it too, as on a host out of memory; 0: none. Restarts calls().
void fail_call(long n, bool onwards = false);
void stop_failing();     // no call fails from now; calls() keeps counting
long calls();            // allocating calls since the last fail_call
long failures();         // calls failed on purpose so far
long live_blocks();      // blocks handed out and not yet freed

}  // namespace testmem

#endif
