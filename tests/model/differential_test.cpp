// The library against the model over seeded random operation sequences.
// MORVANE_DIFF_OPS sets the operations per seed (default 20000); the
// morvane-diff program runs many more seeds.
#include <gtest/gtest.h>

#include "differential.h"
#include "harness.h"
#include "morvane.h"
#include "observe.h"

namespace {

class ModelDifferential : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ModelDifferential, LibraryMatchesModel) {
    const long wanted = differential_operations(20000);
    const DifferentialRun run = run_differential(GetParam(), wanted);
    EXPECT_EQ(run.failure, "") << "seed " << GetParam();
    EXPECT_GE(run.operations, wanted);
    RecordProperty("operations", static_cast<int>(run.operations));
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelDifferential, ::testing::Range(1u, 11u));

// The harness notices a table changed behind its back: the comparisons can
// fail.
TEST(ModelDifferentialHarness, NoticesChangesItDidNotMake) {
    observe::QuietStderr quiet;
    Harness h;
    const int id = h.tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    ASSERT_EQ(id, 0);
    model::Bytes rec(8, '\0');
    for (char c : {'\1', '\2', '\3'}) {
        rec[0] = c;
        h.tableAdd(id, &rec);
    }
    ASSERT_TRUE(h.ok()) << h.failure();

    // The position moved by a call the model did not see.
    tableSeek(id, REC_FIRST, nullptr);
    h.tableAtEnd(id);
    EXPECT_FALSE(h.ok());
    EXPECT_NE(h.failure().find("table 0:"), std::string::npos) << h.failure();
}

TEST(ModelDifferentialHarness, NoticesAChangedRecordAndErrorCode) {
    observe::QuietStderr quiet;
    Harness a;
    const int id = a.tableNew(4, KEY_INT, KEY_DUPLICATES, 2, 0, 0);
    model::Bytes rec(4, '\0');
    a.tableAdd(id, &rec);
    ASSERT_TRUE(a.ok()) << a.failure();
    const model::Bytes changed("\0\0xy", 4);
    tableSeek(id, REC_FIRST, nullptr);
    tableUpdate(id, changed.data());  // the same key, another payload
    tableSeek(id, REC_FIRST, nullptr);
    model::Bytes missing(4, '\0');
    missing[0] = 9;
    a.tableSet(id, &missing);  // finds nothing; the walk after it sees the change
    EXPECT_FALSE(a.ok());
    EXPECT_NE(a.failure().find("record 0"), std::string::npos) << a.failure();

    Harness b;  // a fresh model of a library now holding table 0
    tableErr(8);
    b.tableAtStart(-1);
    EXPECT_FALSE(b.ok());
}

}  // namespace
