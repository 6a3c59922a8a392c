// What the keyed operations and the routines under them write at each trace
// level, byte for byte.
#include <climits>

#include "table_test.h"

using namespace tt;

namespace {

using StoreTrace = TableTest;

// The level-3 trace of tableSeek(REC_KEY) on `t`, whose definition is `d`,
// with `inner` written by the key search.
std::string seek_trace(int t, const void *key, const Def &d, const std::string &inner, int result, int cur) {
    return entry("tableSeek", t, REC_KEY, key) + dump(t, d) + good(t) + find_in(t, key) + inner +
           exit_line("tableSeek", result) + dump(t, with_cur(d, cur));
}

int fixed_answer = 0;
int answer(const void *, const void *) { return fixed_answer; }

}  // namespace

TEST_F(StoreTrace, AddWritesSearchOpenAndCopyBetweenItsFrameLines) {
    const int t = make_int({{10, 1}, {30, 3}});
    const Def d = def_of(t);
    const Rec r{20, 2};
    const std::string text = at_level(3, [&] { EXPECT_EQ(tableAdd(t, &r), 1); });
    EXPECT_EQ(text, entry("tableAdd", t, &r) + dump(t, d) + good(t) + find_in(t, &r) +
                        probe(0, 2, 1) + int_key(4, 30, 20) + status(10) +
                        probe(0, 1, 0) + int_key(4, 10, 20) + status(-10) + fail(1) +
                        add_line(t) + copy_line(t, &r, 0) + exit_line("tableAdd", 1) +
                        dump(t, with_cur(d, 1, 1)));

    // An equal key in a unique table ends the call after the search.
    const Def d3 = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableAdd(t, &r), 0); }),
              entry("tableAdd", t, &r) + dump(t, d3) + good(t) + find_in(t, &r) + probe(0, 3, 1) +
                  int_key(4, 20, 20) + status(0) + success(1) + exit_line("tableAdd", 0) + dump(t, d3));
}

TEST_F(StoreTrace, GetSetDelAndSeekWriteTheirRoutines) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    Rec k{30, 0};
    Def d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableGet(t, REC_KEY, &k), 1); }),
              entry("tableGet", t, REC_KEY, &k) + dump(t, d) + good(t) + find_in(t, &k) +
                  probe(0, 3, 1) + int_key(4, 20, 30) + status(-10) + probe(2, 3, 2) +
                  int_key(4, 30, 30) + status(0) + success(2) + copy_line(t, &k, 1) +
                  exit_line("tableGet", 1) + dump(t, with_cur(d, 2)));

    const Rec s{20, 22};
    d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableSet(t, &s), 1); }),
              entry("tableSet", t, &s) + dump(t, d) + good(t) + find_in(t, &s) + probe(0, 3, 1) +
                  int_key(4, 20, 20) + status(0) + success(1) + copy_line(t, &s, 0) +
                  exit_line("tableSet", 1) + dump(t, with_cur(d, 1)));

    k.key = 10;
    d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableDel(t, 5, &k), 1); }),
              entry("tableDel", t, 5, &k) + dump(t, d) + good(t) + find_in(t, &k) + probe(0, 3, 1) +
                  int_key(4, 20, 10) + status(10) + probe(0, 1, 0) + int_key(4, 10, 10) + status(0) +
                  success(0) + del_line(t) + exit_line("tableDel", 1) + dump(t, with_cur(d, 0, -1)));

    // Position selectors write only the input line of the search.
    d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableSeek(t, REC_LAST, nullptr), 1); }),
              entry("tableSeek", t, REC_LAST, nullptr) + dump(t, d) + good(t) + find_in(t, nullptr) +
                  exit_line("tableSeek", 1) + dump(t, with_cur(d, 1)));
    d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableDel(t, REC_CURRENT, nullptr), 1); }),
              entry("tableDel", t, REC_CURRENT, nullptr) + dump(t, d) + good(t) + find_in(t, nullptr) +
                  del_line(t) + exit_line("tableDel", 1) + dump(t, with_cur(d, 0, -1)));

    // An empty table ends the search after its input line.
    ASSERT_EQ(tableDel(t, REC_FIRST, nullptr), 1);
    d = def_of(t);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableSeek(t, REC_KEY, &k), 0); }),
              seek_trace(t, &k, d, "", 0, 0));
}

TEST_F(StoreTrace, IntegerKeyLinesAndStatusOfEveryWidth) {
    struct Case {
        int width;
        int tkey, rkey, status;
    };
    const Case cases[] = {
        {1, -1, 127, -128},  {1, 127, -128, 255},  {2, -32768, 32767, -65535}, {2, 5, 5, 0},
        {4, 30, 20, 10},     {4, 20, 30, -10},
        {4, INT_MAX, INT_MIN, 1},   // differences beyond 32 bits keep only their sign
        {4, INT_MIN, INT_MAX, -1},
        {4, 0, INT_MIN, 1},
        {4, INT_MIN, 1, -1},
        {4, -1, INT_MAX, INT_MIN},  // exactly the lowest 32-bit value: kept
        {4, INT_MAX, 0, INT_MAX},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + ": " + std::to_string(c.tkey) + " vs " + std::to_string(c.rkey));
        const int t = make(4, KEY_INT, KEY_UNIQUE, c.width);
        std::int32_t rec = 0, key = 0;
        put_key(&rec, c.width, c.tkey);
        put_key(&key, c.width, c.rkey);
        ASSERT_EQ(tableAdd(t, &rec), 1);
        const Def d = def_of(t);
        const int cur = c.status < 0 ? 1 : 0;
        const std::string last = c.status == 0 ? success(0) : fail(cur);
        EXPECT_EQ(at_level(3, [&] { tableSeek(t, REC_KEY, &key); }),
                  seek_trace(t, &key, d, probe(0, 1, 0) + int_key(c.width, c.tkey, c.rkey) + status(c.status) + last,
                             c.status == 0, cur));
        drop(t);
    }
}

TEST_F(StoreTrace, TextKeyLinesShowAtMostTheKeyLength) {
    struct Case {
        int len;
        std::string rec, key;        // 8 bytes each
        std::string tkey, rkey;      // as printed
        int status;
    };
    const Case cases[] = {
        {4, "abcd123\0", "abcdXYZ\0", "abcd", "abcd", 0},
        {4, std::string("ab\0\0\0\0\0\0", 8), "abc\0\0\0\0\0", "ab", "abc", -'c'},
        {4, "\x80\0\0\0\0\0\0\0", "a\0\0\0\0\0\0\0", "\x80", "a", 0x80 - 'a'},
        {8, "abcdefgh", "abcdefgi", "abcdefgh", "abcdefgi", -1},
        {8, "a\xff\0\0\0\0\0\0", "ab\0\0\0\0\0\0", "a\xff", "ab", 0xff - 'b'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tkey + " vs " + c.rkey);
        const int t = make(8, KEY_STRING, KEY_UNIQUE, c.len);
        const std::string rec = c.rec.substr(0, 8) + std::string(8 - std::min<std::size_t>(8, c.rec.size()), '\0');
        const std::string key = c.key.substr(0, 8) + std::string(8 - std::min<std::size_t>(8, c.key.size()), '\0');
        ASSERT_EQ(tableAdd(t, rec.data()), 1);
        const Def d = def_of(t);
        const int cur = c.status >= 0 ? 0 : 1;
        EXPECT_EQ(at_level(3, [&] { tableSeek(t, REC_KEY, key.data()); }),
                  seek_trace(t, key.data(), d,
                             probe(0, 1, 0) + str_key(c.tkey, c.rkey) + status(c.status) +
                                 (c.status == 0 ? success(0) : fail(cur)),
                             c.status == 0, cur));
        drop(t);
    }
}

TEST_F(StoreTrace, UserKeysHaveNoKeyLineAndTheFunctionsStatus) {
    const int t = make(8, KEY_USER, KEY_UNIQUE, reinterpret_cast<std::intptr_t>(&answer));
    fixed_answer = -1;
    const Rec r{1, 1};
    ASSERT_EQ(tableAdd(t, &r), 1);
    for (int a : {12345, -7, INT_MIN, 0}) {
        SCOPED_TRACE(a);
        fixed_answer = a;
        const Def d = def_of(t);
        const int cur = a < 0 ? 1 : 0;
        EXPECT_EQ(at_level(3, [&] { tableSeek(t, REC_KEY, &r); }),
                  seek_trace(t, &r, d, probe(0, 1, 0) + status(a) + (a == 0 ? success(0) : fail(cur)),
                             a == 0, cur));
    }
    // Without a function the search writes its input line and the fail line
    // only.
    const int none = make(8, KEY_USER, KEY_UNIQUE, 0);
    ASSERT_EQ(tableAdd(none, &r), 1);
    const Def d = def_of(none);
    EXPECT_EQ(at_level(3, [&] { tableSeek(none, REC_KEY, &r); }), seek_trace(none, &r, d, fail(1), 0, 1));
}

TEST_F(StoreTrace, LowerLevelsWriteTheFrameOnly) {
    const int t = make_int({{10, 1}, {20, 2}});
    Rec buf{};
    const Def d = def_of(t);
    EXPECT_EQ(at_level(1, [&] { tableGet(t, REC_LAST, &buf); }),
              entry("tableGet", t, REC_LAST, &buf) + exit_line("tableGet", 1));
    const Def d1 = def_of(t);
    EXPECT_EQ(at_level(2, [&] { tableGet(t, REC_FIRST, &buf); }),
              entry("tableGet", t, REC_FIRST, &buf) + dump(t, d1) + exit_line("tableGet", 1) +
                  dump(t, with_cur(d, 0)));
    EXPECT_EQ(at_level(2, [&] { tableSeek(t, REC_PREV, nullptr); }),
              entry("tableSeek", t, REC_PREV, nullptr) + dump(t, with_cur(d, 0)) +
                  exit_line("tableSeek", 0) + dump(t, with_cur(d, 0)));
}

TEST_F(StoreTrace, InvalidIdsStillWriteBothDumps) {
    const Rec r{1, 1};
    // An id outside the registry dumps as all zeros.
    EXPECT_EQ(at_level(2, [&] { tableAdd(-1, &r); }),
              entry("tableAdd", -1, &r) + dump(-1, Def{}) + err_lines(TERR_BADID, TERR_NONE) +
                  exit_line("tableAdd", 0) + dump(-1, Def{}));

    // A freed table keeps its fields but shows no storage.
    const int t = make_int({{1, 1}, {2, 2}});
    Def d = def_of(t);
    drop(t);
    d.tptr = 0;
    EXPECT_EQ(at_level(3, [&] { tableDel(t, REC_FIRST, nullptr); }),
              entry("tableDel", t, REC_FIRST, nullptr) + dump(t, d) + bad(t, TERR_BADID) +
                  exit_line("tableDel", 0) + dump(t, d));
}

TEST_F(StoreTrace, FailedGrowthRecordsItsCodeAfterTheOpenLine) {
    const int t = make(8, KEY_INT, KEY_UNIQUE, 4, 100, 50);
    for (int i = 0; i < 100; ++i) {
        const Rec r{i * 10, 0};
        ASSERT_EQ(tableAdd(t, &r), 1);
    }
    const Def d = def_of(t);
    const Rec r{1000, 0};
    std::string search = find_in(t, &r);
    const int probes[][4] = {{0, 100, 50, 500}, {51, 100, 75, 750}, {76, 100, 88, 880},
                             {89, 100, 94, 940}, {95, 100, 97, 970}, {98, 100, 99, 990}};
    for (const auto &p : probes) search += probe(p[0], p[1], p[2]) + int_key(4, p[3], 1000) + status(p[3] - 1000);
    testmem::fail_call(1);
    EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(tableAdd(t, &r), 0); }),
              entry("tableAdd", t, &r) + dump(t, d) + good(t) + search + fail(100) + add_line(t) +
                  err_lines(TERR_NOMEM, TERR_NONE) + exit_line("tableAdd", 0) + dump(t, with_cur(d, 100)));
}

// A null buffer where a record or key is needed: at level 3 only the frame
// and the id check are written.
TEST_F(StoreTrace, NullBufferWritesOnlyTheFrameAndTheIdCheck) {
    const int t = make_int({{10, 1}, {20, 2}, {30, 3}});
    const struct {
        const char *name;
        int recid;  // 0: the operation takes no selector
        std::function<int()> call;
    } ops[] = {
        {"tableAdd", 0, [&] { return tableAdd(t, nullptr); }},
        {"tableSet", 0, [&] { return tableSet(t, nullptr); }},
        {"tableGet", REC_FIRST, [&] { return tableGet(t, REC_FIRST, nullptr); }},
        {"tableSeek", 7, [&] { return tableSeek(t, 7, nullptr); }},
        {"tableDel", INT_MIN, [&] { return tableDel(t, INT_MIN, nullptr); }},
        {"tableNext", 0, [&] { return tableNext(t, nullptr); }},
        {"tablePrev", 0, [&] { return tablePrev(t, nullptr); }},
        {"tableUpdate", 0, [&] { return tableUpdate(t, nullptr); }},
    };
    seek_key(t, 20);
    const Def d = def_of(t);
    for (const auto &op : ops) {
        SCOPED_TRACE(op.name);
        const std::string in = op.recid ? entry(op.name, t, op.recid, nullptr) : entry(op.name, t, nullptr);
        EXPECT_EQ(at_level(3, [&] { EXPECT_EQ(op.call(), 0); }),
                  in + dump(t, d) + good(t) + exit_line(op.name, 0) + dump(t, d));
    }
}
