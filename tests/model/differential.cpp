#include "differential.h"

#include <cstdlib>

#include "harness.h"
#include "observe.h"
#include "sequence.h"

DifferentialRun run_differential(std::uint32_t seed, long operations) {
    observe::QuietStderr quiet;
    Harness h;
    RandomSource source(seed);
    Sequence sequence(source, h);
    for (long step = 1; h.ok() && h.operations() < operations; ++step) {
        sequence.step();
        if (step % 64 == 0) h.check_all_walks(step % 128 == 0);
    }
    h.check_all_walks(false);
    h.check_all_walks(true);
    h.clear();
    return {h.operations(), h.failure()};
}

long differential_operations(long fallback) {
    const char *text = std::getenv("MORVANE_DIFF_OPS");
    const long n = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return n > 0 ? n : fallback;
}
