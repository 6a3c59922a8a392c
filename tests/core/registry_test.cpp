// tableNew: the order in which refused parameters are reported, and the
// floors of the initial size and the increment. Id allocation, registry
// growth and invalid ids are compared with the reference model in
// tests/model.
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
        {{0, INT_MIN, INT_MIN, 0}, TERR_BADSIZE},
        {{8, INT_MAX, KEY_UNIQUE, 4}, TERR_BADKTYP},
        {{3, KEY_INT, 5, 4}, TERR_BADFTYP},
        {{INT_MAX, KEY_STRING, INT_MIN, INTPTR_MIN}, TERR_BADFTYP},
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
