#include "host.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "morvane.h"
#include "test_memory.h"

namespace {

int code_now = 1;  // the sticky code as the host expects it
const char *const kNames[] = {"tableFree", "tableCount", "tableAtStart", "tableAtEnd", "tableNext", "tablePrev",
                              "tableUpdate", "tableAdd", "tableSet", "tableGet", "tableSeek", "tableDel",
                              "tableNew", "tableErr"};
enum { New = Del + 1, Err };

__attribute__((format(printf, 1, 2))) std::string format(const char *fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

void expect(bool ok, const std::string &what) {
    if (!ok) throw Mismatch(what);
}

// The little-endian integer of `width` bytes (1, 2 or 4) at `p`, sign-extended.
std::int32_t int_at(const void *p, std::size_t width) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, width);
    const unsigned shift = 32 - 8 * unsigned(width);
    return std::int32_t(v << shift) >> shift;
}

// A caller's comparison: a 16-bit integer at byte 1 of the record, largest first.
int descending16(const void *rec, const void *key) {
    return int_at(static_cast<const char *>(key) + 1, 2) - int_at(static_cast<const char *>(rec) + 1, 2);
}

int compare(const Table &t, const std::string &rec, const std::string &key) {
    if (t.ktyp == KEY_STRING) return std::clamp(std::strncmp(rec.data(), key.data(), std::size_t(t.ftyp)), -1, 1);
    if (t.ktyp == KEY_USER) return reinterpret_cast<TableCompareFn>(t.ftyp)(rec.data(), key.data());
    const std::int32_t a = int_at(rec.data(), std::size_t(t.ftyp)), b = int_at(key.data(), std::size_t(t.ftyp));
    return (a > b) - (a < b);
}

bool is_key(int recid) { return recid == REC_KEY || recid < REC_NEXT || recid >= 0; }

// Where the selectors other than a key move the position.
bool move(Table &t, int recid) {
    const int n = t.used();
    if (n == 0) return (t.cur = 0), false;
    switch (recid) {
    case REC_NEXT: return t.cur < n - 1 && ++t.cur;
    case REC_PREV: return t.cur > 0 && t.cur--;
    case REC_LAST: return (t.cur = n - 1), true;
    case REC_CURRENT: return (t.cur = std::min(t.cur, n - 1)), true;
    default: return (t.cur = 0), true;
    }
}

// Gives `rec` a key a step after the last record's: an append while the
// records are in order (at the largest integer the step wraps around).
void after_last(const Table &t, std::string &rec, unsigned step) {
    if (t.recs.empty() || (t.ktyp == KEY_USER && t.ftyp == 0)) return;
    const std::size_t at = t.ktyp == KEY_USER, width = at ? 2 : std::size_t(t.ftyp);
    std::memcpy(rec.data(), t.recs.back().data(), at + width);
    const std::size_t len = t.ktyp == KEY_STRING ? strnlen(rec.data(), width) : 0;
    if (t.ktyp == KEY_STRING && len < width) {  // one more byte
        rec[len] = "ab\xe9"[step % 3];
        if (len + 1 < width) rec[len + 1] = '\0';
    } else if (t.ktyp != KEY_STRING) {  // little-endian low bytes; a caller's order runs from the largest
        std::uint32_t v = 0;
        std::memcpy(&v, rec.data() + at, width);
        v = at ? v - 1 - step : v + 1 + step;
        std::memcpy(rec.data() + at, &v, width);
    }
}

}  // namespace

Host::Host(int level) : level_(level) {
    std::fflush(stderr);
    char name[] = "/tmp/morvane-host-XXXXXX";
    file_fd_ = mkstemp(name);
    unlink(name);
    saved_fd_ = dup(2);
    dup2(file_fd_, 2);
    tableErr(code_now = 1);
    tableSetDebug(level);
}

Host::~Host() {
    tableSetDebug(0);
    std::fflush(stderr);
    dup2(saved_fd_, 2);
    close(saved_fd_);
    close(file_fd_);
}

// What the library wrote since the last take.
std::string Host::take() {
    std::fflush(stderr);
    struct stat st {};
    fstat(file_fd_, &st);
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    expect(pread(file_fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()) &&
               ftruncate(file_fd_, 0) == 0 && lseek(file_fd_, 0, SEEK_SET) == 0,
           "capture failed");
    return text;
}

Table *Host::find(int id) {
    auto it = tables.find(id);
    return it != tables.end() && it->second.live ? &it->second : nullptr;
}

// The position the library reports for table `id`.
int Host::position(int id) {
    tablePrint(id);
    const std::string dump = take();
    return std::atoi(dump.c_str() + dump.rfind(" cur ") + 5);
}

// Ends one call: its result, its warning (at level 0 the only output
// allowed), the sticky code and the stored definition of table `id`.
void Host::end(int op, const std::string &out, int got, int want, int code, int id) {
    const std::string where = format("%s on table %d: ", kNames[op], id), warn = code && code != 1
        ? format("Warning : internal table error detected ( code = %d )\n", code) : "";
    if (code) code_now = code;
    expect(got == want, where + format("result %d, expected %d", got, want));
    if (level_ <= 0) expect(out == warn, where + "wrote '" + out + "', expected '" + warn + "'");
    expect(tableErr(-1) == code_now, where + format("error code is not %d", code_now));
    take();
    tablePrint(id);
    const std::string dump = take();
    const auto it = tables.find(id);
    const Table *t = it != tables.end() ? &it->second : nullptr;  // a freed table keeps its fields
    const std::string fields = t ? format("  rsiz %d  ktyp %d  kmod %d  ftyp %lld  allcd %d  rinc %d  used %d  cur %d\n",
                                          t->rsiz, t->ktyp, t->kmod, static_cast<long long>(t->ftyp), t->allcd,
                                          t->rinc, t->used(), t->cur)
                                 : "  rsiz 0  ktyp 0  kmod 0  ftyp 0  allcd 0  rinc 0  used 0  cur 0\n";
    if (t || id < 0 || id >= 1 << 20)  // else a slot of an earlier host
        expect(dump.rfind(format("    - stored definition for table id %d\n    - tptr ", id), 0) == 0 &&
                   (dump.find("tptr 0  ") == std::string::npos) == (t && t->live) && dump.find(fields) != std::string::npos,
               where + "dump '" + dump + "', expected '" + fields + "'");
    log += format("%s %d %d %d\n", kNames[op], id, got, t ? t->cur : -1);
}

// Checks that a key search of `key` over t's records that ended at `c` is
// one a binary search can give, and returns whether it found the key: a
// found record has the key; otherwise the record before `c` sorts before
// the key and the one at `c` after it. In ordered records that fixes `c`
// up to the member of a run of equal keys. A table without a comparison
// finds nothing and ends after the last record.
bool Host::search(Table &t, const std::string &key, int c) {
    const int n = t.used();
    const std::string where = format("key search ending at %d of %d: ", c, n);
    expect(c >= 0 && c <= n, where + "position out of range");
    t.cur = c;
    if (t.ktyp == KEY_USER && t.ftyp == 0) return expect(c == n, where + "no comparison, yet not at the end"), false;
    const bool found = c < n && compare(t, t.rec(c), key) == 0;
    expect(found || ((c == 0 || compare(t, t.rec(c - 1), key) < 0) && (c == n || compare(t, t.rec(c), key) > 0)),
           where + "not where a binary search ends");
    bool ordered = true, present = false;
    for (int i = 0; i < n; ++i) {
        present = present || compare(t, t.rec(i), key) == 0;
        ordered = ordered && (i == 0 || compare(t, t.rec(i - 1), t.rec(i)) <= 0);
    }
    expect(!ordered || found == present, where + (present ? "missed a key it holds" : "found a key it lacks"));
    return found;
}

int Host::create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    const int code = rsiz <= 0                                                ? TERR_BADSIZE
                     : ktyp < 0 || ktyp > 2                                   ? TERR_BADKTYP
                     : (ktyp == KEY_INT && ((ftyp != 1 && ftyp != 2 && ftyp != 4) || ftyp > rsiz)) ||
                             (ktyp == KEY_STRING && (ftyp < 1 || ftyp > rsiz)) ? TERR_BADFTYP
                     : kmod != 0 && kmod != 1                                 ? TERR_BADKMOD
                     : std::int64_t{rsiz} * std::max(recs, 100) > INT_MAX      ? TERR_NOMEM
                                                                              : 0;
    const long failures = testmem::failures();
    const int id = tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
    const std::string out = take();
    if (code || testmem::failures() > failures) return end(New, out, id, -1, code ? code : TERR_NOMEM, -1), -1;
    int lowest = 0;
    while (find(lowest)) ++lowest;
    tables[lowest] = Table{rsiz, ktyp, kmod, ftyp, std::max(recs, 100), std::max(rinc, 50), 0, true, {}};
    end(New, out, id, lowest, 0, lowest);
    return id;
}

void Host::err(int code) {
    const int before = code_now, r = tableErr(code);
    end(Err, take(), r, before, code >= 0 && code <= 8 ? (code ? code : before) : 0, -1);
}

int Host::call(Op op, int id, std::string *rec, int recid) {
    Table *t = find(id);
    const bool keyed = op == Add || op == Set || ((op == Get || op == Seek || op == Del) && is_key(recid));
    const int sought = op == Del && t && rec && keyed ? call(Seek, id, rec, recid) : 0;  // the member of a run met
    const std::string before = rec ? *rec : "";
    void *p = rec ? rec->data() : nullptr;
    const long failures = testmem::failures();
    const int r = op == Free ? tableFree(id) : op == Count ? tableCount(id) : op == AtStart ? tableAtStart(id)
                : op == AtEnd ? tableAtEnd(id) : op == Next ? tableNext(id, p) : op == Prev ? tablePrev(id, p)
                : op == Update ? tableUpdate(id, p) : op == Add ? tableAdd(id, p) : op == Set ? tableSet(id, p)
                : op == Get ? tableGet(id, recid, p) : op == Seek ? tableSeek(id, recid, p) : tableDel(id, recid, p);
    const std::string out = take();
    const bool oom = testmem::failures() > failures;
    if (!t) return end(op, out, r, op == Count ? -1 : op <= AtEnd ? 1 : 0, TERR_BADID, id), r;
    if (!rec && op >= Next && (op < Seek || keyed)) return end(op, out, r, 0, 0, id), r;
    const int n = t->used();
    const bool full = n == t->allcd, at_end = t->cur >= n;
    int want = 1, code = 0;
    switch (op) {
    case Free: t->live = false; break;
    case Count: want = n; break;
    case AtStart: want = t->cur == 0; break;
    case AtEnd: want = at_end; break;
    case Next:
    case Update:
        want = !at_end;
        if (!at_end && op == Next) expect(*rec == t->rec(t->cur), "tableNext fetched another record");
        if (!at_end && op == Update) t->rec(t->cur) = *rec;
        t->cur += !at_end;
        break;
    case Prev:
        if (at_end) t->cur = n > 0 ? n - 1 : 0;
        expect(n == 0 || *rec == t->rec(t->cur), "tablePrev fetched another record");
        t->cur -= t->cur > 0;
        break;
    case Add:
        expect(!oom || full, "tableAdd called the memory service without growing");
        if (search(*t, before, position(id)) && t->kmod == KEY_UNIQUE) {
            want = 0;
        } else if (full && (oom || (std::int64_t{t->allcd} + t->rinc) * t->rsiz > INT_MAX)) {
            want = 0, code = TERR_NOMEM;
        } else {
            t->allcd += full ? t->rinc : 0;
            t->recs.insert(t->recs.begin() + t->cur, before);
        }
        break;
    default:  // Set, Get, Seek, Del
        want = op == Del && keyed ? sought : keyed ? search(*t, before, position(id)) : move(*t, recid);
        if (op == Set && want) t->rec(t->cur) = before;
        if (op == Get) expect(*rec == (want ? t->rec(t->cur) : before), "tableGet: wrong bytes in the buffer");
        if (op == Del && want) {
            t->recs.erase(t->recs.begin() + t->cur);
            if (t->cur == n - 1) t->cur = n > 1 ? n - 2 : 0;
        }
    }
    end(op, out, r, want, code, id);
    return r;
}

void Host::finish() {
    for (auto &[id, t] : tables) {
        if (!t.live) continue;
        std::string buf(std::size_t(t.rsiz), '\0');
        call(Seek, id, nullptr, REC_FIRST);
        for (int i = 0; i <= t.used(); ++i) call(Next, id, &buf);
        call(Free, id);
    }
    expect(testmem::live_blocks() <= 1, "blocks left behind besides the registry");
}

std::string Host::record(int id, const Pick &pick) const {
    const Table &t = tables.at(id);
    std::string rec(std::size_t(t.rsiz), '\0');
    std::minstd_rand fill(pick(1 << 16) + 1);
    for (char &ch : rec) ch = static_cast<char>(fill());
    const std::size_t width = t.ktyp == KEY_USER ? 3 : std::size_t(t.ftyp);
    if (!t.recs.empty() && pick(2)) {  // a key the table holds
        std::memcpy(rec.data(), t.recs[pick(static_cast<unsigned>(t.used()))].data(), width);
    } else if (t.ktyp == KEY_STRING) {  // a short text, bytes after its end as they come
        const std::size_t len = pick(static_cast<unsigned>(width) + 1);
        for (std::size_t i = 0; i < len; ++i) rec[i] = "ab\xe9"[pick(3)];
        if (len < width) rec[len] = '\0';
    } else {  // a small integer or an extreme one, its low bytes for narrower keys
        const std::int32_t v = pick(5) ? std::int32_t(pick(40)) - 20 : pick(2) ? INT32_MAX : INT32_MIN;
        std::memcpy(rec.data() + (t.ktyp == KEY_USER), &v, t.ktyp == KEY_USER ? 2 : width);
    }
    return rec;
}

std::string run_sequence(const Pick &pick, int steps, int level, long fail, bool onwards) {
    Host h(level);
    const int first = h.create(1, KEY_INT, KEY_UNIQUE, 1, 0, 0);  // the registry, made before any failure
    h.call(Free, first);
    testmem::fail_call(fail, onwards);
    // Keys of every kind: integers of each width, texts short and long, a
    // caller's comparison and a missing one; records of 1 to 100 bytes.
    auto make = [&] {
        static const std::intptr_t kinds[][2] = {{KEY_INT, 1}, {KEY_INT, 2}, {KEY_INT, 4}, {KEY_STRING, 1},
                                                 {KEY_STRING, 5}, {KEY_STRING, 23}, {KEY_USER, 0},
                                                 {KEY_USER, reinterpret_cast<std::intptr_t>(&descending16)}};
        const auto *k = kinds[pick(8)];
        const int ktyp = int(k[0]), least = ktyp == KEY_USER ? 3 : int(k[1]);
        const int rsiz = std::max(least, pick(3) ? 17 + int(pick(48)) : 1 + int(pick(100)));
        const int id = h.create(rsiz, ktyp, int(pick(2)), k[1], int(pick(130)), pick(2) ? 0 : 50 + int(pick(30)));
        if (id < 0) return;
        std::vector<std::string> recs(pick(4) ? pick(20) : pick(220));  // ascending appends, equal keys among them
        for (auto &r : recs) r = h.record(id, pick);
        if (k[1] != 0)
            std::stable_sort(recs.begin(), recs.end(),
                             [&](const auto &a, const auto &b) { return compare(h.tables.at(id), a, b) < 0; });
        for (auto &r : recs) h.call(Add, id, &r);
    };
    for (unsigned i = 1 + pick(3); i > 0; --i) make();
    for (int step = 0; step < steps; ++step) {
        std::vector<int> ids;
        for (const auto &[id, t] : h.tables)
            if (t.live) ids.push_back(id);
        if (ids.empty()) {
            make();
            continue;
        }
        const int id = ids[pick(unsigned(ids.size()))];
        const int bad[] = {-1, 1 << 20, h.tables.rbegin()->first + 1, id};
        const int target = pick(12) ? id : bad[pick(4)];
        std::string rec = h.record(id, pick);
        Table &t = h.tables.at(id);
        if (pick(3) == 0 && t.cur < t.used())  // the key at the position: tableUpdate keeps the order
            std::memcpy(rec.data(), t.rec(t.cur).data(), t.ktyp == KEY_USER ? 3 : std::size_t(t.ftyp));
        else if (pick(3) == 0)  // after the last record: an append, or disorder in the middle
            after_last(t, rec, pick(3));
        const int selectors[] = {REC_FIRST, REC_CURRENT, REC_LAST, REC_KEY, REC_PREV, REC_NEXT, 7, -9, REC_KEY};
        const unsigned what = pick(20);
        if (what < 15) {
            static const Op ops[] = {Add, Add, Add, Set, Get, Seek, Del, Next, Next, Prev,
                                     Update, AtStart, AtEnd, Count, Free};
            h.call(ops[what], target, pick(16) ? &rec : nullptr, selectors[pick(9)]);
        } else if (what < 17) {
            h.err(int(pick(12)) - 2);
        } else if (what < 19) {
            make();
        } else {  // refused definitions: size, key type, key field, key mode, a size that overflows
            static const int refused[][4] = {{0, 0, 0, 4}, {8, 3, 0, 4}, {8, 0, 5, 3}, {2, 0, 0, 4}, {8, 1, 0, 9},
                                             {8, 1, 0, 0}, {8, 0, 2, 4}, {8, 0, -1, 4}, {INT_MAX / 50, 0, 0, 4}};
            const int *p = refused[pick(9)];
            h.create(p[0], p[1], p[2], p[3], 0, 0);
        }
    }
    h.finish();
    testmem::stop_failing();
    return h.log;
}
