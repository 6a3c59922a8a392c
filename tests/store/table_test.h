// Shared by the store and cursor tests: a fixture that creates tables and
// cleans up after itself, readers of a table's stored definition and
// records, and builders of the exact trace texts the operations write.
#ifndef MORVANE_TESTS_STORE_TABLE_TEST_H
#define MORVANE_TESTS_STORE_TABLE_TEST_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "morvane.h"
#include "test_memory.h"
#include "trace_capture.h"

namespace tt {

// The record of the integer tables most tests use: a four-byte key and a
// four-byte payload.
struct Rec {
    std::int32_t key;
    std::int32_t val;
};

inline bool operator==(const Rec &a, const Rec &b) { return a.key == b.key && a.val == b.val; }
inline std::ostream &operator<<(std::ostream &os, const Rec &r) {
    return os << "{" << r.key << "," << r.val << "}";
}

inline std::intptr_t addr(const void *p) { return reinterpret_cast<std::intptr_t>(p); }

// Writes a signed integer key of `width` bytes (1, 2 or 4), in the
// platform's order.
inline void put_key(void *dst, int width, int v) {
    const auto v8 = static_cast<std::int8_t>(v);
    const auto v16 = static_cast<std::int16_t>(v);
    const std::int32_t v32 = v;
    const void *src = width == 1 ? static_cast<const void *>(&v8) : width == 2 ? static_cast<const void *>(&v16) : &v32;
    std::memcpy(dst, src, static_cast<std::size_t>(width));
}
// The stored definition of a table, in dump order.
struct Def {
    std::intptr_t tptr = 0;
    int rsiz = 0, ktyp = 0, kmod = 0;
    std::intptr_t ftyp = 0;
    int allcd = 0, rinc = 0, used = 0, cur = 0;
};

inline std::string n(long long v) { return std::to_string(v); }

inline std::string dump(int tabid, const Def &d) {
    return "    - stored definition for table id " + n(tabid) + "\n    - tptr " + n(d.tptr) + "  rsiz " +
           n(d.rsiz) + "  ktyp " + n(d.ktyp) + "  kmod " + n(d.kmod) + "  ftyp " + n(d.ftyp) + "  allcd " +
           n(d.allcd) + "  rinc " + n(d.rinc) + "  used " + n(d.used) + "  cur " + n(d.cur) + "\n";
}

// Reads the stored definition through tablePrint; a dump that is not the
// expected two lines fails the test.
inline Def def_of(int tabid) {
    const std::string text = trace_of([&] { tablePrint(tabid); });
    Def d;
    long long tptr = 0, ftyp = 0;
    int id = 0, end = 0;
    const int n = std::sscanf(text.c_str(),
                              "    - stored definition for table id %d\n    - tptr %lld  rsiz %d  ktyp %d  "
                              "kmod %d  ftyp %lld  allcd %d  rinc %d  used %d  cur %d\n%n",
                              &id, &tptr, &d.rsiz, &d.ktyp, &d.kmod, &ftyp, &d.allcd, &d.rinc, &d.used,
                              &d.cur, &end);
    d.tptr = static_cast<std::intptr_t>(tptr);
    d.ftyp = static_cast<std::intptr_t>(ftyp);
    if (n != 10 || id != tabid || static_cast<std::size_t>(end) != text.size() || dump(tabid, d) != text)
        ADD_FAILURE() << "unexpected dump of table " << tabid << ":\n" << text;
    return d;
}

inline int cur_of(int tabid) { return def_of(tabid).cur; }

// A result together with the position the call left, compared as a pair.
using At = std::pair<int, int>;
inline At at(int tabid, int result) { return {result, cur_of(tabid)}; }
inline At seek(int tabid, int recid, const void *rptr) { return at(tabid, tableSeek(tabid, recid, rptr)); }

inline Def with_cur(Def d, int cur, int used_change = 0) {
    d.cur = cur;
    d.used += used_change;
    return d;
}

// Everything `fn` writes at trace level `level`.
template <typename Fn>
std::string at_level(int level, Fn &&fn) {
    tableSetDebug(level);
    std::string text = trace_of(fn);
    tableSetDebug(0);
    return text;
}

// Reads the sticky code without changing it or writing anything at level 0.
inline int code() { return tableErr(9); }

// Every record of the table in stored order, as raw bytes. Walks with
// tableSeek and tableNext, so it moves the position.
inline std::vector<std::string> raw_records(int tabid) {
    const int rsiz = def_of(tabid).rsiz;
    std::vector<std::string> out;
    std::string buf(static_cast<std::size_t>(rsiz), '\0');
    if (tableSeek(tabid, REC_FIRST, nullptr) == 0) return out;
    while (tableNext(tabid, &buf[0]) == 1) out.push_back(buf);
    return out;
}

inline std::vector<Rec> records(int tabid) {
    std::vector<Rec> out;
    for (const std::string &raw : raw_records(tabid)) {
        Rec r{};
        std::memcpy(&r, raw.data(), sizeof r);
        out.push_back(r);
    }
    return out;
}

inline std::vector<int> keys(int tabid) {
    std::vector<int> out;
    for (const Rec &r : records(tabid)) out.push_back(r.key);
    return out;
}

// Trace texts. Entry lines of the operations taking (tabid, rptr), of those
// taking (tabid, recid, rptr) and of those taking only tabid.
inline std::string entry(const std::string &op, int tabid, const void *rptr) {
    return op + " - input parameters\n         - tabid " + n(tabid) + "  rptr " + n(addr(rptr)) + "\n";
}
inline std::string entry(const std::string &op, int tabid, int recid, const void *rptr) {
    return op + " - input parameters\n" + (op == "tableSeek" ? "          " : "         ") + "- tabid " +
           n(tabid) + "  recid " + n(recid) + "  rptr " + n(addr(rptr)) + "\n";
}
inline std::string entry(const std::string &op, int tabid) {
    return op + " - input parameters\n         - tabid " + n(tabid) + "\n";
}
inline std::string exit_line(const std::string &op, int result) { return op + " - return status " + n(result) + "\n"; }
inline std::string warning(int code) {
    return "Warning : internal table error detected ( code = " + n(code) + " )\n";
}
// tableErr recording `code` at level 1 or more, `prev` standing before.
inline std::string err_lines(int code, int prev) {
    return "tableErr - input parameters\n         - err " + n(code) + "\n" + warning(code) +
           "tableErr - return status " + n(prev) + "\n";
}
inline std::string good(int tabid) { return entry("good_table", tabid) + "good_table - return status 1\n"; }
inline std::string bad(int tabid, int prev_code) {
    return entry("good_table", tabid) + err_lines(TERR_BADID, prev_code) + "good_table - return status 0\n";
}
inline std::string find_in(int tabid, const void *rptr) { return entry("find_record", tabid, rptr); }
inline std::string probe(int low, int high, int mid) {
    return "find_record - low " + n(low) + " high " + n(high) + " curr " + n(mid) + "\n";
}
inline std::string int_key(int width, int tkey, int rkey) {
    return "find_record - int" + n(width) + " - tkey " + n(tkey) + "  rkey " + n(rkey) + "\n";
}
inline std::string str_key(const std::string &tkey, const std::string &rkey) {
    return "find_record - string - tkey '" + tkey + "'  rkey '" + rkey + "'\n";
}
inline std::string status(int s) { return "find_record - status " + n(s) + "\n"; }
inline std::string success(int cur) { return "find_record - success, current = " + n(cur) + "\n"; }
inline std::string fail(int cur) { return "find_record - fail, current = " + n(cur) + "\n"; }
inline std::string add_line(int tabid) { return entry("add_record", tabid); }
inline std::string del_line(int tabid) { return entry("delete_record", tabid); }
inline std::string copy_line(int tabid, const void *rptr, int mode) {
    return "copy_record - input parameters\n         - tabid " + n(tabid) + "  rptr " + n(addr(rptr)) +
           "  mode " + n(mode) + "\n";
}

// Each test starts at level 0 with no pending code and no planned memory
// failure, and frees the tables it made, so that ids stay low when all tests
// share one process.
class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        tableSetDebug(0);
        testmem::reset();
        tableErr(TERR_NONE);
    }
    void TearDown() override {
        tableSetDebug(0);
        testmem::reset();
        for (int id : ids_) tableFree(id);
    }

    int make(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs = 0, int rinc = 0) {
        const int id = tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
        EXPECT_GE(id, 0) << "tableNew refused the table";
        if (id >= 0) ids_.push_back(id);
        return id;
    }
    // A four-byte integer key table of Rec records.
    int make_int(int kmod = KEY_UNIQUE) { return make(8, KEY_INT, kmod, 4); }
    int make_int(std::initializer_list<Rec> recs, int kmod = KEY_UNIQUE) {
        const int id = make_int(kmod);
        for (Rec r : recs) EXPECT_EQ(tableAdd(id, &r), 1) << "adding key " << r.key;
        return id;
    }
    void drop(int id) {
        EXPECT_EQ(tableFree(id), 1);
        ids_.erase(std::remove(ids_.begin(), ids_.end(), id), ids_.end());
    }
    // Positions the table at `cur` of an int table by a key search: an
    // existing key finds its record, a key beyond all records gives `used`.
    static void seek_key(int tabid, int key) {
        Rec r{key, 0};
        tableSeek(tabid, REC_KEY, &r);
    }

private:
    std::vector<int> ids_;
};

}  // namespace tt

#endif
