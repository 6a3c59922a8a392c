// Workloads run again and again, the memory service failing from its n-th
// call on the n-th run, for every n the workload reaches, in both modes: the
// n-th call alone fails, or it and every call after it, as on a host out of
// memory. A scripted workload makes and grows the registry and table
// storage and asks for sizes that overflow; random sequences then run every
// operation, at levels 0 and 3, on tables whose storage could not grow.
// Every call is checked against the host's view (a failed one must leave its
// table as it was, with code 2), every table is walked at the end and nothing
// may be left but the registry.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <vector>

#include "host.h"
#include "morvane.h"
#include "test_memory.h"

namespace {

void scripted(long n, bool onwards) {
    Host h(0);
    testmem::fail_call(n, onwards);
    std::vector<int> ids;
    for (int i = 0; i < 101; ++i) ids.push_back(h.create(1 + i % 3, KEY_INT, KEY_UNIQUE, 1, 0, 0));
    for (int id : ids) h.call(Free, id);
    const int tables[] = {h.create(12, KEY_INT, KEY_DUPLICATES, 4, 100, 50),
                          h.create(20, KEY_STRING, KEY_UNIQUE, 6, 0, 0),
                          h.create(8, KEY_INT, KEY_DUPLICATES, 2, 0, INT_MAX - 60)};
    std::mt19937 gen(7);
    const Pick pick = [&gen](unsigned k) { return k ? static_cast<unsigned>(gen() % k) : 0; };
    for (int i = 0; i < 120; ++i)
        for (int id : tables)
            if (id >= 0) {
                std::string rec = h.record(id, pick);
                h.call(Add, id, &rec);
            }
    h.finish();
    testmem::stop_failing();
}

}  // namespace

class Memory : public testing::TestWithParam<bool> {};

TEST_P(Memory, EveryFailedCallLeavesTheTablesIntact) {
    const bool onwards = GetParam();
    std::vector<std::function<void(long)>> workloads = {[onwards](long n) { scripted(n, onwards); }};
    for (unsigned seed = 1; seed <= 3; ++seed)
        workloads.push_back([onwards, seed](long n) {
            std::mt19937 gen(seed);
            const Pick pick = [&gen](unsigned k) { return k ? static_cast<unsigned>(gen() % k) : 0; };
            run_sequence(pick, 150, seed % 2 ? 0 : 3, n, onwards);
        });
    long swept = 0;
    for (const auto &workload : workloads) {
        long n = 1;
        for (;; ++n) {
            try {
                workload(n);
            } catch (const Mismatch &m) {
                FAIL() << "memory call " << n << (onwards ? " and after" : "") << " failing: " << m.what();
            }
            if (testmem::calls() < n) break;
        }
        swept += n;
    }
    testmem::fail_call(0);
    EXPECT_GT(swept, 150);
}

// FailingOnwards/.../true: the n-th call and every one after it fail; .../false: the n-th alone.
INSTANTIATE_TEST_SUITE_P(FailingOnwards, Memory, testing::Bool(), testing::PrintToStringParamName());
