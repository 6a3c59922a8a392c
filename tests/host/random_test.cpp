// Random sequences of all sixteen operations, checked call by call against
// a host's view of the tables (tests/support/host.h). Each sequence runs at
// trace level 0 (or below) and again at level 3, and the two must give the
// same results and positions: no untraced path may land elsewhere than the
// traced search. Every third sequence meets a failing memory call.
// MORVANE_SEED and MORVANE_SEEDS choose other sequences.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "host.h"

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
        const auto diff = std::mismatch(log[0].begin(), log[0].end(), log[1].begin(), log[1].end());
        ASSERT_EQ(log[0], log[1]) << "seed " << seed << ": levels 0 and 3 part at '"
                                  << std::string(diff.first, diff.first + std::min<long>(80, log[0].end() - diff.first))
                                  << "'";
    }
}
