// The test programs' memory service: the library binds to the mallocMem,
// reallocMem and freeMem defined here, which count live blocks and fail the
// call a test chooses.
#ifndef MORVANE_TESTS_TEST_MEMORY_H
#define MORVANE_TESTS_TEST_MEMORY_H

namespace testmem {

void fail_call(long n);  // the n-th allocating call from now (from 1) fails; 0: none
inline void reset() { fail_call(0); }
long calls();            // allocating calls since the last fail_call
long failures();         // calls failed on purpose so far
long live_blocks();      // blocks handed out and not yet freed

}  // namespace testmem

#endif
