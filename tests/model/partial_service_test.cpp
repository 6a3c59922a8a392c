// A host that defines only part of the memory service (mallocMem, and with
// MORVANE_TEST_WITH_REALLOC also reallocMem, but never freeMem): the library
// binds all three or none, so it must use the C allocator and never call
// the host's functions.
#include <gtest/gtest.h>

#include <cstdlib>

#include "morvane.h"

namespace {
int host_calls = 0;
}

extern "C" void *mallocMem(int bytes) {
    ++host_calls;
    return std::malloc(static_cast<std::size_t>(bytes));
}

#ifdef MORVANE_TEST_WITH_REALLOC
extern "C" void *reallocMem(void *block, int bytes) {
    ++host_calls;
    return std::realloc(block, static_cast<std::size_t>(bytes));
}
#endif

TEST(ModelMemoryBinding, APartialServiceIsNotUsed) {
    int ids[120];
    for (int i = 0; i < 120; ++i) ASSERT_EQ(ids[i] = tableNew(4, KEY_INT, KEY_UNIQUE, 4, 0, 0), i);
    for (int k = 0; k < 150; ++k) ASSERT_EQ(tableAdd(ids[7], &k), 1);  // grows the storage
    EXPECT_EQ(tableCount(ids[7]), 150);
    for (int id : ids) tableFree(id);
    EXPECT_EQ(host_calls, 0);
    EXPECT_EQ(tableErr(0), TERR_NONE);
}
