// Random sequences of all sixteen operations, checked call by call against
// a host's view of the tables (tests/support/host.h). Each sequence runs at
// trace level 0 (or below) and again at level 3, and the two must give the
// same results and positions: no untraced path may land elsewhere than the
// traced search. Every third sequence meets a failing memory call.
// MORVANE_SEED and MORVANE_SEEDS choose other sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>

#include "host.h"
#include "morvane.h"
#include "trace_capture.h"

TEST(Random, EverySequenceMatchesTheHostsViewAtLevels0And3) {
    const char *first = std::getenv("MORVANE_SEED"), *count = std::getenv("MORVANE_SEEDS");
    const unsigned from = first ? static_cast<unsigned>(std::atoi(first)) : 1;
    for (unsigned seed = from; seed < from + static_cast<unsigned>(count ? std::atoi(count) : 40); ++seed) {
        std::string log[2];
        for (int pass = 0; pass < 2; ++pass) {
            std::mt19937 gen(seed);
            const Pick pick = [&gen](unsigned n) { return n ? static_cast<unsigned>(gen() % n) : 0; };
            const int level = pass ? 3 : -static_cast<int>(seed % 2);
            try {
                log[pass] = run_sequence(pick, 300, level, seed % 3 ? 0 : seed * 7 % 120);
            } catch (const Mismatch &m) {
                FAIL() << "seed " << seed << " at level " << level << ": " << m.what();
            }
        }
        ASSERT_EQ(log[0], log[1]) << "seed " << seed << ": levels 0 and 3 differ";
    }
}

// Tables above the sizes from which the untraced search fetches ahead and
// speculates (some 300 KiB and 68 MiB of 4-byte keys in runs of three) find
// and place keys where the traced search does.
TEST(Random, LargeTablesSearchAsTheTracedSearchDoes) {
    for (const int n : {20000, 4300000}) {
        const int id = tableNew(16, KEY_INT, KEY_DUPLICATES, 4, n, 0);
        std::int32_t rec[4] = {};
        for (int i = 0; i < n; ++i) {
            rec[0] = i / 3 * 2;
            ASSERT_EQ(tableAdd(id, rec), 1);
        }
        for (int k = -1; k < n * 2 / 3 + 2; k += 1 + k * 7 / 8) {
            rec[0] = k;
            std::string seen[2];
            for (const int level : {0, 3}) {
                tableSetDebug(level);
                const int found = tableSeek(id, REC_KEY, rec);
                tableSetDebug(0);
                const std::string dump = trace_of([id] { tablePrint(id); });
                seen[level / 3] = std::to_string(found) + dump.substr(dump.rfind(" cur "));
            }
            EXPECT_EQ(seen[0], seen[1]) << "key " << k << " in " << n << " records";
            EXPECT_EQ(seen[0][0] == '1', k >= 0 && k % 2 == 0 && k <= (n - 1) / 3 * 2) << "key " << k;
        }
        tableFree(id);
    }
}
