// A scripted workload run again and again, the memory service failing its
// n-th call on the n-th run, for every n the workload reaches: the registry
// made and grown, table storage obtained and grown, sizes that overflow.
// Every call is checked against the host's view (a failed one must leave
// its table as it was, with code 2), every table is walked at the end and
// nothing may be left but the registry.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "host.h"
#include "morvane.h"
#include "test_memory.h"

TEST(Memory, EveryFailedCallLeavesTheTablesIntact) {
    long n = 1;
    for (;; ++n) {
        testmem::fail_call(n);
        try {
            Host h(0);
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
        } catch (const Mismatch &m) {
            FAIL() << "memory call " << n << " failing: " << m.what();
        }
        if (testmem::calls() < n) break;
    }
    testmem::fail_call(0);
    EXPECT_GT(n, 100);
}
