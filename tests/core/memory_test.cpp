// tableNew when the memory service fails or a size cannot be asked for, and
// the blocks the registry and the tables hold.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core_lines.h"
#include "morvane.h"
#include "test_memory.h"
#include "trace_capture.h"

namespace {

int take_code() { return tableErr(TERR_NONE); }

int new_table() { return tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10); }

// Dumps of tables 0 to n-1.
std::string dumps(int n) {
    return trace_of([n] {
        for (int i = 0; i < n; ++i) tablePrint(i);
    });
}

}  // namespace

TEST(CoreMemory, RegistryCreationFails) {
    testmem::fail_call(1);
    EXPECT_EQ(trace_of([] { EXPECT_EQ(new_table(), -1); }), lines::warning(TERR_NOMEM));
    EXPECT_EQ(testmem::calls(), 1);
    EXPECT_EQ(take_code(), TERR_NOMEM);
    EXPECT_EQ(testmem::live_blocks(), 0);
    EXPECT_EQ(trace_of([] { tablePrint(0); }), lines::zero_dump(0));

    testmem::reset();
    EXPECT_EQ(new_table(), 0);
    EXPECT_EQ(testmem::calls(), 2);  // the registry is made now
    EXPECT_EQ(testmem::live_blocks(), 2);
    EXPECT_EQ(take_code(), TERR_NONE);
}

TEST(CoreMemory, FirstTableStorageFailsAndItsSlotIsReused) {
    testmem::fail_call(2);
    EXPECT_EQ(new_table(), -1);
    EXPECT_EQ(take_code(), TERR_NOMEM);
    EXPECT_EQ(testmem::live_blocks(), 1);  // the registry stays
    EXPECT_EQ(tableCount(0), -1);
    EXPECT_EQ(take_code(), TERR_BADID);

    testmem::reset();
    EXPECT_EQ(new_table(), 0);
    EXPECT_EQ(testmem::calls(), 1);
    EXPECT_EQ(new_table(), 1);
}

TEST(CoreMemory, StorageFailureLeavesTheSlotFree) {
    for (int i = 0; i < 3; ++i) ASSERT_EQ(new_table(), i);
    testmem::fail_call(1);
    EXPECT_EQ(new_table(), -1);
    EXPECT_EQ(take_code(), TERR_NOMEM);
    EXPECT_EQ(tableCount(3), -1);
    EXPECT_EQ(take_code(), TERR_BADID);
    testmem::reset();
    EXPECT_EQ(new_table(), 3);
    EXPECT_EQ(new_table(), 4);

    // A freed slot that fails again stays the lowest free one.
    ASSERT_EQ(tableFree(1), 1);
    testmem::fail_call(1);
    EXPECT_EQ(new_table(), -1);
    EXPECT_EQ(take_code(), TERR_NOMEM);
    testmem::reset();
    EXPECT_EQ(new_table(), 1);
    EXPECT_EQ(new_table(), 5);
    EXPECT_EQ(testmem::live_blocks(), 7);
}

TEST(CoreMemory, FailingTableNewTraceAtLevelTwo) {
    ASSERT_EQ(new_table(), 0);
    tableSetDebug(2);
    testmem::fail_call(1);
    const std::string text = trace_of([] { EXPECT_EQ(new_table(), -1); });
    EXPECT_EQ(text, lines::new_entry(8, 0, 0, 4, 10, 10) +
                        lines::err_call(TERR_NOMEM, TERR_NOMEM, TERR_NONE));
}

TEST(CoreMemory, RegistryGrowthFailureKeepsEveryTable) {
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(tableNew(4 + i, KEY_STRING, i % 2, 1 + i / 2, 100 + i, 50 + i), i);
    const std::string before = dumps(100);
    const long blocks = testmem::live_blocks();
    const long bytes = testmem::live_bytes();

    testmem::fail_call(1);
    EXPECT_EQ(new_table(), -1);
    EXPECT_EQ(testmem::calls(), 1);  // no storage asked for after the failure
    EXPECT_EQ(take_code(), TERR_NOMEM);
    EXPECT_EQ(testmem::live_blocks(), blocks);
    EXPECT_EQ(testmem::live_bytes(), bytes);
    EXPECT_EQ(dumps(100), before);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(tableCount(i), 0) << "id " << i;
    EXPECT_EQ(tableCount(100), -1);
    EXPECT_EQ(take_code(), TERR_BADID);

    testmem::reset();
    EXPECT_EQ(new_table(), 100);
    EXPECT_EQ(testmem::calls(), 2);
    EXPECT_EQ(dumps(100), before);
    EXPECT_EQ(take_code(), TERR_NONE);
}

TEST(CoreMemory, StorageFailureAfterGrowthKeepsTheGrownRegistry) {
    for (int i = 0; i < 100; ++i) ASSERT_EQ(new_table(), i);
    testmem::fail_call(2);
    EXPECT_EQ(new_table(), -1);
    EXPECT_EQ(testmem::calls(), 2);
    EXPECT_EQ(take_code(), TERR_NOMEM);

    // The grown registry is kept: slot 100 is taken without growing again.
    testmem::reset();
    EXPECT_EQ(new_table(), 100);
    EXPECT_EQ(testmem::calls(), 1);
    EXPECT_EQ(new_table(), 101);
}

TEST(CoreMemory, OversizedStorageIsRefusedWithoutAskingTheService) {
    ASSERT_EQ(new_table(), 0);
    const struct {
        int rsiz, recs;
    } oversized[] = {
        {21474837, 100},      // 2147483700
        {21474837, 1},        // recs raised to 100 first
        {65536, 65536},
        {INT_MAX, INT_MAX},
        {INT_MAX, 100},
    };
    for (const auto &o : oversized) {
        SCOPED_TRACE("rsiz " + std::to_string(o.rsiz) + " recs " + std::to_string(o.recs));
        testmem::reset();
        const std::string text =
            trace_of([&] { EXPECT_EQ(tableNew(o.rsiz, KEY_STRING, KEY_UNIQUE, 1, o.recs, 0), -1); });
        EXPECT_EQ(text, lines::warning(TERR_NOMEM));
        EXPECT_EQ(testmem::calls(), 0);
        EXPECT_EQ(take_code(), TERR_NOMEM);
    }
    // A count that fits is asked for (made to fail here, not to take 2 GB).
    testmem::fail_call(1);
    EXPECT_EQ(tableNew(21474836, KEY_STRING, KEY_UNIQUE, 1, 100, 0), -1);
    EXPECT_EQ(testmem::calls(), 1);
    EXPECT_EQ(take_code(), TERR_NOMEM);

    testmem::reset();
    EXPECT_EQ(new_table(), 1);
    EXPECT_EQ(testmem::live_blocks(), 3);
}

TEST(CoreMemory, OversizedFirstTableStillMakesTheRegistry) {
    EXPECT_EQ(tableNew(INT_MAX, KEY_INT, KEY_UNIQUE, 4, INT_MAX, 0), -1);
    EXPECT_EQ(testmem::calls(), 1);
    EXPECT_EQ(testmem::live_blocks(), 1);
    EXPECT_EQ(take_code(), TERR_NOMEM);
    testmem::reset();
    EXPECT_EQ(new_table(), 0);
    EXPECT_EQ(testmem::calls(), 1);
}

TEST(CoreMemory, FreeingEveryTableLeavesOnlyTheRegistry) {
    ASSERT_EQ(testmem::live_blocks(), 0);
    for (int i = 0; i < 150; ++i) ASSERT_EQ(tableNew(12, KEY_INT, KEY_DUPLICATES, 2, 120, 0), i);
    EXPECT_EQ(testmem::live_blocks(), 151);
    const long registry_bytes = testmem::live_bytes() - 150L * 12 * 120;
    for (int i = 149; i >= 0; --i) {
        ASSERT_EQ(tableFree(i), 1);
        ASSERT_EQ(testmem::live_blocks(), i + 1);
    }
    EXPECT_EQ(testmem::live_bytes(), registry_bytes);
    EXPECT_EQ(tableErr(0), TERR_NONE);

    // Every slot comes back without growing the registry again.
    testmem::reset();
    for (int i = 0; i < 150; ++i) ASSERT_EQ(new_table(), i);
    EXPECT_EQ(testmem::calls(), 150);
    for (int i = 0; i < 150; ++i) ASSERT_EQ(tableFree(i), 1);
    EXPECT_EQ(testmem::live_blocks(), 1);
}
