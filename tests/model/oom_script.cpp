#include "oom_script.h"

#include <gtest/gtest.h>

#include <cstring>

#include "morvane.h"
#include "observe.h"
#include "test_memory.h"

model::Bytes int_record(int key, int payload) {
    model::Bytes r(8, '\0');
    std::memcpy(&r[0], &key, 4);
    std::memcpy(&r[4], &payload, 4);
    return r;
}

OomScript::Observed OomScript::observe_table(int tabid) {
    std::string why;
    const auto w = observe::walk(tabid, false, 0, &why);
    EXPECT_TRUE(w.has_value()) << "table " << tabid << ": " << why;
    if (!w) return {};
    return {w->dump, w->records};
}

int OomScript::lowest_free_id() const {
    int id = 0;
    while (tables_.count(id) != 0) ++id;
    return id;
}

// Every table as last seen; `added_to` may have moved its position, which
// is returned in `*insertion_point`.
void OomScript::expect_tables_unchanged(int added_to, int *insertion_point) const {
    for (const auto &[id, seen] : tables_) {
        Observed now = observe_table(id);
        if (id == added_to) {
            *insertion_point = now.dump.cur;
            now.dump.cur = seen.dump.cur;
        }
        EXPECT_EQ(now.dump, seen.dump) << "table " << id << ": " << now.dump.text();
        EXPECT_TRUE(now.records == seen.records) << "records of table " << id << " changed";
    }
    const auto slot = observe::dump(lowest_free_id());
    EXPECT_TRUE(slot && !slot->tptr) << "a table appeared in slot " << lowest_free_id();
}

int OomScript::create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    const int expected_id = lowest_free_id();
    for (int k = 1;; ++k) {
        const long blocks = testmem::live_blocks(), bytes = testmem::live_bytes();
        tableErr(TERR_NONE);
        testmem::fail_call(k);
        const int id = tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
        const long calls = testmem::calls();
        testmem::reset();
        if (calls < k) {  // went through: the next operation succeeds
            EXPECT_EQ(id, expected_id);
            EXPECT_EQ(tableErr(-1), TERR_NONE);
            EXPECT_EQ(testmem::live_blocks(), blocks + 1 + (registry_ ? 0 : 1));
            registry_ = true;
            if (id < 0) return id;
            tables_[id] = observe_table(id);
            EXPECT_EQ(tables_[id].dump.used, 0);
            return id;
        }
        ++points_;
        EXPECT_EQ(id, -1) << "memory call " << k << " failed";
        EXPECT_EQ(tableErr(-1), TERR_NOMEM) << "memory call " << k << " failed";
        int unused = 0;
        expect_tables_unchanged(-1, &unused);
        // Only the registry made by this call may stay: its storage failed.
        const long kept = testmem::live_blocks() - blocks;
        if (k == 1) {
            EXPECT_EQ(kept, 0) << "the first memory call failed";
            EXPECT_EQ(testmem::live_bytes(), bytes);
        } else {
            EXPECT_EQ(kept, registry_ ? 0 : 1) << "memory call " << k << " failed";
            registry_ = true;
        }
    }
}

void OomScript::add(int tabid, const model::Bytes &rec) {
    const Observed before = tables_.at(tabid);
    int failed_at = -1;
    for (int k = 1;; ++k) {
        const long blocks = testmem::live_blocks(), bytes = testmem::live_bytes();
        tableErr(TERR_NONE);
        testmem::fail_call(k);
        const int result = tableAdd(tabid, rec.data());
        const long calls = testmem::calls();
        testmem::reset();
        if (calls < k) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(tableErr(-1), TERR_NONE);
            Observed &after = tables_[tabid] = observe_table(tabid);
            if (calls > 0) ++growths_;
            EXPECT_EQ(testmem::live_blocks(), blocks);
            const auto cur = static_cast<std::size_t>(after.dump.cur);
            ASSERT_EQ(after.records.size(), before.records.size() + 1);
            EXPECT_EQ(after.records[cur], rec) << "the new record is not at the position";
            std::vector<model::Bytes> rest = after.records;
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(cur));
            EXPECT_TRUE(rest == before.records) << "other records moved or changed";
            if (failed_at >= 0) {
                EXPECT_EQ(after.dump.cur, failed_at) << "the failed insertion left another position";
            }
            return;
        }
        ++points_;
        EXPECT_EQ(result, 0) << "memory call " << k << " failed";
        EXPECT_EQ(tableErr(-1), TERR_NOMEM) << "memory call " << k << " failed";
        expect_tables_unchanged(tabid, &failed_at);
        EXPECT_EQ(testmem::live_blocks(), blocks);
        EXPECT_EQ(testmem::live_bytes(), bytes);
    }
}

void OomScript::free(int tabid) {
    EXPECT_EQ(tableFree(tabid), 1);
    tables_.erase(tabid);
}

void OomScript::free_all() {
    while (!tables_.empty()) free(tables_.begin()->first);
    EXPECT_EQ(testmem::live_blocks(), registry_ ? 1 : 0) << "blocks left after freeing every table";
}
