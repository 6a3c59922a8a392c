#include <gtest/gtest.h>
#include "morvane.h"
#include "test_memory.h"
#include "trace_capture.h"
TEST(CoreSmoke, FirstTableIsZero) {
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
    EXPECT_EQ(testmem::live_blocks(), 2);
    const std::string t = trace_of([] { tableSetDebug(1); tableCount(0); tableSetDebug(0); });
    EXPECT_EQ(t, "tableCount - input parameters\n         - tabid 0\ntableCount - return status 0\n");
}
