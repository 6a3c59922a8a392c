// A program that defines no memory service: the library uses the C
// allocator, and tables work as usual.
#include <gtest/gtest.h>

#include "morvane.h"

TEST(PlatformCAllocator, TablesLiveOnTheCAllocator) {
    int ids[150];
    for (int i = 0; i < 150; ++i) {
        ids[i] = tableNew(16, KEY_STRING, KEY_DUPLICATES, 8, 1000, 0);
        ASSERT_EQ(ids[i], i);
    }
    for (int id : ids) EXPECT_EQ(tableFree(id), 1);
    EXPECT_EQ(tableErr(0), TERR_NONE);
}
