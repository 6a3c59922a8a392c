// One differential run: a seeded random sequence of operations through the
// harness. The library's state is process-wide and sticky, so a process
// makes one run (the tests run in processes of their own; the long-run
// driver forks one per seed).
#ifndef MORVANE_TESTS_MODEL_DIFFERENTIAL_H
#define MORVANE_TESTS_MODEL_DIFFERENTIAL_H

#include <cstdint>
#include <string>

struct DifferentialRun {
    long operations = 0;  // operations compared
    std::string failure;  // empty when the library matched the model throughout
};

// Runs at least `operations` operations drawn from `seed`, with a walk of
// every table every 64 steps and at the end, then frees every table.
DifferentialRun run_differential(std::uint32_t seed, long operations);

// The operation count from MORVANE_DIFF_OPS, else `fallback`.
long differential_operations(long fallback);

#endif
