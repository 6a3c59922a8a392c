// Trace output of the core operations at each level, and the stored-definition
// dump, compared line for line.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "core_lines.h"
#include "morvane.h"
#include "test_memory.h"
#include "trace_capture.h"

using lines::Def;

namespace {

int by_first_byte(const void *record, const void *key) {
    return *static_cast<const signed char *>(record) - *static_cast<const signed char *>(key);
}

}  // namespace

TEST(CoreTrace, LevelZeroAndBelowWriteOnlyWarnings) {
    for (int level : {0, -1, -3, INT_MIN}) {
        SCOPED_TRACE("level " + std::to_string(level));
        tableErr(TERR_NONE);
        const std::string text = trace_of([&] {
            tableSetDebug(level);
            const int id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10);
            EXPECT_GE(id, 0);
            EXPECT_EQ(tableCount(id), 0);
            EXPECT_EQ(tableFree(id), 1);
            EXPECT_EQ(tableErr(9), TERR_NONE);
            EXPECT_EQ(tableErr(TERR_NONE), TERR_NONE);
        });
        EXPECT_EQ(text, "");
        const std::string failing = trace_of([] {
            EXPECT_EQ(tableCount(-1), -1);
            EXPECT_EQ(tableNew(8, KEY_INT, 7, 4, 10, 10), -1);
        });
        EXPECT_EQ(failing, lines::warning(TERR_BADID) + lines::warning(TERR_BADKMOD));
    }
}

TEST(CoreTrace, TableNewDumpsTheNewTableFromLevelTwo) {
    // Level 1 writes the call lines only; level 3 adds nothing to tableNew: it
    // calls no traced internal routine.
    const auto cmp = reinterpret_cast<std::intptr_t>(&by_first_byte);
    const std::intptr_t wide = (std::intptr_t{1} << 40) + 3;
    struct Case {
        int level, rsiz, ktyp, kmod;
        std::intptr_t ftyp;
        int recs, rinc, allcd, kept_rinc;
    } cases[] = {
        {1, 8, KEY_INT, KEY_UNIQUE, 4, 10, 10, 100, 50},
        {2, 8, KEY_INT, KEY_UNIQUE, 4, 10, 10, 100, 50},
        {3, 12, KEY_STRING, KEY_DUPLICATES, 12, 500, 80, 500, 80},
        {2, 4, KEY_USER, KEY_UNIQUE, cmp, 100, 50, 100, 50},
        {3, 4, KEY_USER, KEY_DUPLICATES, wide, -5, INT_MIN, 100, 50},
    };
    int id = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE("table " + std::to_string(id));
        tableSetDebug(c.level);
        const std::string text = trace_of(
            [&] { EXPECT_EQ(tableNew(c.rsiz, c.ktyp, c.kmod, c.ftyp, c.recs, c.rinc), id); });
        tableSetDebug(0);
        const std::intptr_t tptr = lines::tptr_of(id);
        ASSERT_NE(tptr, 0);
        EXPECT_EQ(text, lines::new_entry(c.rsiz, c.ktyp, c.kmod, c.ftyp, c.recs, c.rinc) +
                            "tableNew - return table id " + std::to_string(id) + "\n" +
                            (c.level < 2 ? ""
                                         : lines::dump(id, Def{tptr, c.rsiz, c.ktyp, c.kmod, c.ftyp,
                                                               c.allcd, c.kept_rinc, 0, 0})));
        ++id;
    }
}

TEST(CoreTrace, FailingTableNewWritesNoExitLineAndNoDump) {
    for (int level : {1, 2, 3}) {
        SCOPED_TRACE("level " + std::to_string(level));
        tableSetDebug(level);
        std::string text = trace_of([] { EXPECT_EQ(tableNew(0, KEY_INT, KEY_UNIQUE, 4, 10, 10), -1); });
        EXPECT_EQ(text, lines::new_entry(0, 0, 0, 4, 10, 10) +
                            lines::err_call(TERR_BADSIZE, TERR_BADSIZE, TERR_NONE));
        // The return line shows the code that stood before this failure.
        text = trace_of([] { EXPECT_EQ(tableNew(8, KEY_INT, -1, 4, 10, 10), -1); });
        EXPECT_EQ(text, lines::new_entry(8, 0, -1, 4, 10, 10) +
                            lines::err_call(TERR_BADKMOD, TERR_BADKMOD, TERR_BADSIZE));
        tableSetDebug(0);
        tableErr(TERR_NONE);
    }
    // Storage the memory service refuses ends the call the same way.
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
    tableSetDebug(2);
    testmem::fail_call(1);
    EXPECT_EQ(trace_of([] { EXPECT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), -1); }),
              lines::new_entry(8, 0, 0, 4, 10, 10) + lines::err_call(TERR_NOMEM, TERR_NOMEM, TERR_NONE));
    testmem::reset();
    tableSetDebug(0);
}

TEST(CoreTrace, TableCountAtEachLevel) {
    ASSERT_EQ(tableNew(8, KEY_STRING, KEY_DUPLICATES, 5, 500, 80), 0);
    const std::intptr_t tptr = lines::tptr_of(0);
    ASSERT_NE(tptr, 0);
    const std::string entry = lines::id_entry("tableCount", 0);
    const std::string dump = lines::dump(0, Def{tptr, 8, 1, 1, 5, 500, 80, 0, 0});
    const std::string exit = lines::status("tableCount", 0);
    const std::string expected[] = {
        entry + exit,
        entry + dump + exit,
        entry + dump + lines::good_table(0, true, TERR_NONE) + exit,
    };
    // Changing the level writes nothing itself.
    for (int level = 1; level <= 3; ++level) {
        const std::string text = trace_of([&] {
            tableSetDebug(level);
            EXPECT_EQ(tableCount(0), 0);
        });
        EXPECT_EQ(text, expected[level - 1]) << "level " << level;
    }
}

TEST(CoreTrace, TableCountOfInvalidIdAtLevelThree) {
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 4, 10, 10), 0);
    tableSetDebug(3);
    std::string text = trace_of([] { EXPECT_EQ(tableCount(100), -1); });
    EXPECT_EQ(text, lines::id_entry("tableCount", 100) + lines::zero_dump(100) +
                        lines::good_table(100, false, TERR_NONE) + lines::status("tableCount", -1));
    // A never-used slot inside the registry dumps as cleared and is refused too.
    text = trace_of([] { EXPECT_EQ(tableCount(1), -1); });
    EXPECT_EQ(text, lines::id_entry("tableCount", 1) + lines::zero_dump(1) +
                        lines::good_table(1, false, TERR_BADID) + lines::status("tableCount", -1));
}

TEST(CoreTrace, TableFreeDumpsKeptFieldsAfterRelease) {
    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 2, 200, 60), 0);
    ASSERT_EQ(tableNew(6, KEY_STRING, KEY_DUPLICATES, 3, 300, 70), 1);
    const std::intptr_t tptr = lines::tptr_of(1);
    ASSERT_NE(tptr, 0);
    const Def live{tptr, 6, 1, 1, 3, 300, 70, 0, 0};
    Def freed = live;
    freed.tptr = 0;

    tableSetDebug(3);
    std::string text = trace_of([] { EXPECT_EQ(tableFree(1), 1); });
    EXPECT_EQ(text, lines::id_entry("tableFree", 1) + lines::dump(1, live) +
                        lines::good_table(1, true, TERR_NONE) + lines::status("tableFree", 1) +
                        lines::dump(1, freed));

    // Freeing it again: both dumps, the recorded code 3, still 1.
    tableSetDebug(2);
    text = trace_of([] { EXPECT_EQ(tableFree(1), 1); });
    EXPECT_EQ(text, lines::id_entry("tableFree", 1) + lines::dump(1, freed) +
                        lines::err_call(TERR_BADID, TERR_BADID, TERR_NONE) +
                        lines::status("tableFree", 1) + lines::dump(1, freed));

    tableSetDebug(0);
    EXPECT_EQ(trace_of([] { tablePrint(1); }), lines::dump(1, freed));
}

TEST(CoreTrace, TableFreeBeforeAnyTableAtLevelTwo) {
    tableSetDebug(2);
    const std::string text = trace_of([] { EXPECT_EQ(tableFree(0), 1); });
    EXPECT_EQ(text, lines::id_entry("tableFree", 0) + lines::zero_dump(0) +
                        lines::err_call(TERR_BADID, TERR_BADID, TERR_NONE) +
                        lines::status("tableFree", 1) + lines::zero_dump(0));
}

TEST(CoreTrace, PrintOfIdsWithoutSlotShowsZerosAndRecordsNothing) {
    const int ids[] = {0, 1, -1, 100, INT_MIN, INT_MAX};
    for (int id : ids)
        EXPECT_EQ(trace_of([&] { tablePrint(id); }), lines::zero_dump(id)) << "no registry, id " << id;

    ASSERT_EQ(tableNew(8, KEY_INT, KEY_UNIQUE, 1, 10, 10), 0);
    for (int id : ids) {
        if (id == 0) continue;
        EXPECT_EQ(trace_of([&] { tablePrint(id); }), lines::zero_dump(id)) << "id " << id;
    }
    EXPECT_EQ(trace_of([] { tablePrint(99); }), lines::zero_dump(99));
    EXPECT_EQ(tableErr(0), TERR_NONE);
}

TEST(CoreTrace, PrintWritesTheDumpAtEveryLevel) {
    ASSERT_EQ(tableNew(3, KEY_STRING, KEY_UNIQUE, 3, 101, 51), 0);
    const std::intptr_t tptr = lines::tptr_of(0);
    ASSERT_NE(tptr, 0);
    const std::string dump = lines::dump(0, Def{tptr, 3, 1, 0, 3, 101, 51, 0, 0});
    for (int level : {-1, 0, 1, 2, 3}) {
        tableSetDebug(level);
        EXPECT_EQ(trace_of([] { tablePrint(0); }), dump) << "level " << level;
    }
}
