// tableNew parameter checks, id allocation and reuse, registry growth, and
// tableFree / tableCount on valid and invalid ids.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "core_lines.h"
#include "morvane.h"
#include "test_memory.h"
#include "trace_capture.h"

using lines::Def;

namespace {

// The pending code, cleared for the next check.
int take_code() { return tableErr(TERR_NONE); }

struct Params {
    int rsiz, ktyp, kmod;
    std::intptr_t ftyp;
};

constexpr std::intptr_t kHigh = std::intptr_t{1} << 32;

}  // namespace

TEST(CoreRegistry, RefusedParametersGiveTheirCodeInOrder) {
    const struct {
        Params p;
        int code;
    } refused[] = {
        {{0, KEY_INT, KEY_UNIQUE, 4}, TERR_BADSIZE},
        {{-1, 9, 9, 0}, TERR_BADSIZE},          // size before key type
        {{INT_MIN, KEY_INT, KEY_UNIQUE, 4}, TERR_BADSIZE},
        {{8, 3, KEY_UNIQUE, 4}, TERR_BADKTYP},
        {{8, -1, 5, 4}, TERR_BADKTYP},          // key type before key mode
        {{8, KEY_INT, KEY_UNIQUE, 3}, TERR_BADFTYP},
        {{8, KEY_INT, KEY_UNIQUE, 0}, TERR_BADFTYP},
        {{8, KEY_INT, KEY_UNIQUE, 8}, TERR_BADFTYP},
        {{8, KEY_INT, KEY_UNIQUE, -4}, TERR_BADFTYP},
        {{8, KEY_INT, KEY_UNIQUE, 4 + kHigh}, TERR_BADFTYP},  // whole value compared
        {{8, KEY_INT, 5, 3}, TERR_BADFTYP},     // key field before key mode
        {{1, KEY_INT, KEY_UNIQUE, 2}, TERR_BADFTYP},  // integer wider than the record
        {{3, KEY_INT, KEY_UNIQUE, 4}, TERR_BADFTYP},
        {{8, KEY_STRING, KEY_UNIQUE, 9}, TERR_BADFTYP},
        {{8, KEY_STRING, KEY_UNIQUE, 0}, TERR_BADFTYP},
        {{8, KEY_STRING, KEY_UNIQUE, -1}, TERR_BADFTYP},
        {{8, KEY_STRING, KEY_UNIQUE, 1 + kHigh}, TERR_BADFTYP},
        {{8, KEY_STRING, KEY_UNIQUE, 5 - kHigh}, TERR_BADFTYP},
        {{8, KEY_INT, 2, 4}, TERR_BADKMOD},
        {{8, KEY_INT, -1, 4}, TERR_BADKMOD},
        {{8, KEY_STRING, INT_MIN, 8}, TERR_BADKMOD},
        {{8, KEY_USER, INT_MAX, 0}, TERR_BADKMOD},
    };
    // Before and after the registry exists: a refusal never reaches the
    // memory service.
    for (int round = 0; round < 2; ++round) {
        for (const auto &r : refused) {
            SCOPED_TRACE("round " + std::to_string(round) + ": rsiz " + std::to_string(r.p.rsiz) +
                         " ktyp " + std::to_string(r.p.ktyp) + " kmod " +
                         std::to_string(r.p.kmod) + " ftyp " + std::to_string(r.p.ftyp));
            testmem::reset();
            const long blocks = testmem::live_blocks();
            const std::string text =
                trace_of([&] { EXPECT_EQ(tableNew(r.p.rsiz, r.p.ktyp, r.p.kmod, r.p.ftyp, 10, 10), -1); });
            EXPECT_EQ(text, lines::warning(r.code));
            EXPECT_EQ(take_code(), r.code);
            EXPECT_EQ(testmem::calls(), 0);
            EXPECT_EQ(testmem::live_blocks(), blocks);
        }
        ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), round);
    }
}

TEST(CoreRegistry, AcceptedKeyFieldsAreStoredWhole) {
    const Params accepted[] = {
        {8, KEY_INT, KEY_UNIQUE, 1},
        {8, KEY_INT, KEY_DUPLICATES, 2},
        {8, KEY_INT, KEY_UNIQUE, 4},
        {1, KEY_INT, KEY_UNIQUE, 1},
        {2, KEY_INT, KEY_UNIQUE, 2},
        {4, KEY_INT, KEY_UNIQUE, 4},
        {8, KEY_STRING, KEY_UNIQUE, 8},
        {8, KEY_STRING, KEY_DUPLICATES, 1},
        {1, KEY_STRING, KEY_UNIQUE, 1},
        {8, KEY_USER, KEY_UNIQUE, 0},
        {8, KEY_USER, KEY_UNIQUE, -1},
        {8, KEY_USER, KEY_DUPLICATES, kHigh * 256 + 7},
        {8, KEY_USER, KEY_UNIQUE, INTPTR_MIN},
    };
    int id = 0;
    for (const Params &p : accepted) {
        SCOPED_TRACE("id " + std::to_string(id));
        ASSERT_EQ(tableNew(p.rsiz, p.ktyp, p.kmod, p.ftyp, 100, 50), id);
        const std::intptr_t tptr = lines::tptr_of(id);
        ASSERT_NE(tptr, 0);
        EXPECT_EQ(trace_of([&] { tablePrint(id); }),
                  lines::dump(id, Def{tptr, p.rsiz, p.ktyp, p.kmod, p.ftyp, 100, 50, 0, 0}));
        EXPECT_EQ(tableCount(id), 0);
        ++id;
    }
    EXPECT_EQ(tableErr(0), TERR_NONE);
}

TEST(CoreRegistry, RecsAndRincHaveFloors) {
    const struct {
        int recs, rinc, allcd, kept_rinc;
    } cases[] = {
        {10, 0, 100, 50}, {500, 80, 500, 80}, {99, 49, 100, 50}, {100, 50, 100, 50},
        {101, 51, 101, 51}, {-1, -1, 100, 50}, {INT_MIN, INT_MIN, 100, 50}, {0, INT_MAX, 100, INT_MAX},
    };
    int id = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE("recs " + std::to_string(c.recs) + " rinc " + std::to_string(c.rinc));
        const long bytes = testmem::live_bytes();
        ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, c.recs, c.rinc), id);
        if (id > 0) {  // the first call also makes the registry
            EXPECT_EQ(testmem::live_bytes() - bytes, 8L * c.allcd);
        }
        const std::intptr_t tptr = lines::tptr_of(id);
        ASSERT_NE(tptr, 0);
        EXPECT_EQ(trace_of([&] { tablePrint(id); }),
                  lines::dump(id, Def{tptr, 8, KEY_INT, KEY_UNIQUE, 4, c.allcd, c.kept_rinc, 0, 0}));
        ++id;
    }
}

TEST(CoreRegistry, IdsStartAtZeroAndLowestFreeIsReused) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), i);
    EXPECT_EQ(tableFree(3), 1);
    EXPECT_EQ(tableFree(1), 1);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 1);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 3);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 5);
    EXPECT_EQ(tableFree(0), 1);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
    EXPECT_EQ(tableErr(0), TERR_NONE);
}

TEST(CoreRegistry, HundredFirstTableGrowsRegistryByOneHundredSlots) {
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, 50), 0);
    const long per_hundred = testmem::live_bytes() - 800;  // registry of 100 slots
    ASSERT_GT(per_hundred, 0);
    for (int i = 1; i < 100; ++i) ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, 50), i);

    // Slots 100 and up do not exist yet.
    EXPECT_EQ(tableCount(100), -1);
    EXPECT_EQ(take_code(), TERR_BADID);

    testmem::reset();
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, 50), 100);
    EXPECT_EQ(testmem::calls(), 2);  // the registry grows, then the storage
    EXPECT_EQ(testmem::live_bytes(), 2 * per_hundred + 101 * 800L);
    EXPECT_EQ(tableCount(100), 0);
    EXPECT_EQ(tableCount(0), 0);
    // The new slots are cleared, and the id after them still names no slot.
    for (int id : {101, 150, 199, 200})
        EXPECT_EQ(trace_of([&] { tablePrint(id); }), lines::zero_dump(id)) << "id " << id;

    for (int i = 101; i < 200; ++i) {
        testmem::reset();
        ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, 50), i);
        ASSERT_EQ(testmem::calls(), 1) << "id " << i;
    }
    // Growth is by a fixed step, not by doubling.
    testmem::reset();
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 100, 50), 200);
    EXPECT_EQ(testmem::calls(), 2);
    EXPECT_EQ(testmem::live_bytes(), 3 * per_hundred + 201 * 800L);
    EXPECT_EQ(testmem::live_blocks(), 202);
    EXPECT_EQ(tableErr(0), TERR_NONE);
}

TEST(CoreRegistry, FreeSlotIsTakenBeforeTheRegistryGrows) {
    for (int i = 0; i < 100; ++i) ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), i);
    EXPECT_EQ(tableFree(99), 1);
    EXPECT_EQ(tableFree(37), 1);
    testmem::reset();
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 37);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 99);
    EXPECT_EQ(testmem::calls(), 2);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 100);
    EXPECT_EQ(testmem::calls(), 4);
}

TEST(CoreRegistry, InvalidIdsBeforeTheRegistryExists) {
    for (int id : {0, -1, 100, INT_MIN, INT_MAX}) {
        SCOPED_TRACE("id " + std::to_string(id));
        std::string text = trace_of([&] { EXPECT_EQ(tableCount(id), -1); });
        EXPECT_EQ(text, lines::warning(TERR_BADID));
        EXPECT_EQ(take_code(), TERR_BADID);
        text = trace_of([&] { EXPECT_EQ(tableFree(id), 1); });
        EXPECT_EQ(text, lines::warning(TERR_BADID));
        EXPECT_EQ(take_code(), TERR_BADID);
    }
    EXPECT_EQ(testmem::live_blocks(), 0);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
}

TEST(CoreRegistry, InvalidIdsLeaveLiveTablesAlone) {
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 1);
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 2);
    ASSERT_EQ(tableFree(1), 1);
    ASSERT_EQ(take_code(), TERR_NONE);
    const long blocks = testmem::live_blocks();
    const std::string before = trace_of([] { tablePrint(0); tablePrint(2); });

    // Freed id, never-used slot, negative, capacity and beyond.
    for (int id : {1, 3, 99, -1, 100, INT_MIN, INT_MAX}) {
        SCOPED_TRACE("id " + std::to_string(id));
        std::string text = trace_of([&] { EXPECT_EQ(tableCount(id), -1); });
        EXPECT_EQ(text, lines::warning(TERR_BADID));
        EXPECT_EQ(take_code(), TERR_BADID);
        text = trace_of([&] { EXPECT_EQ(tableFree(id), 1); });
        EXPECT_EQ(text, lines::warning(TERR_BADID));
        EXPECT_EQ(take_code(), TERR_BADID);
    }
    EXPECT_EQ(testmem::live_blocks(), blocks);
    EXPECT_EQ(trace_of([] { tablePrint(0); tablePrint(2); }), before);
    EXPECT_EQ(tableCount(0), 0);
    EXPECT_EQ(tableCount(2), 0);
    EXPECT_EQ(take_code(), TERR_NONE);
    EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 1);
}
