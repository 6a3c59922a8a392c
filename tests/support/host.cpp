#include "host.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "morvane.h"
#include "test_memory.h"

namespace {

int code_now = 1;  // the sticky code as the host expects it; the library's lives as long

std::string format(const char *fmt, ...) {
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

// A caller's comparison: a 16-bit integer at byte 1 of the record, largest first.
int descending16(const void *rec, const void *key) {
    std::int16_t a, b;
    std::memcpy(&a, static_cast<const char *>(rec) + 1, 2);
    std::memcpy(&b, static_cast<const char *>(key) + 1, 2);
    return b - a;
}

template <typename T>
int compare_int(const char *rec, const char *key) {
    T a, b;
    std::memcpy(&a, rec, sizeof a);
    std::memcpy(&b, key, sizeof b);
    return (a > b) - (a < b);
}

int compare(const Table &t, const std::string &rec, const std::string &key) {
    if (t.ktyp == KEY_STRING) {
        const int c = std::strncmp(rec.data(), key.data(), static_cast<std::size_t>(t.ftyp));
        return (c > 0) - (c < 0);
    }
    if (t.ktyp == KEY_USER) return reinterpret_cast<TableCompareFn>(t.ftyp)(rec.data(), key.data());
    if (t.ftyp == 1) return compare_int<std::int8_t>(rec.data(), key.data());
    if (t.ftyp == 2) return compare_int<std::int16_t>(rec.data(), key.data());
    return compare_int<std::int32_t>(rec.data(), key.data());
}

bool is_key(int recid) { return recid == REC_KEY || recid < REC_NEXT || recid >= 0; }

// The position moves of the selectors other than a key.
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

// The position the library reports for table `id`.
int Host::position(int id) {
    tablePrint(id);
    const std::string dump = take();
    const std::size_t at = dump.rfind(" cur ");
    expect(at != std::string::npos, "no position in '" + dump + "'");
    return std::atoi(dump.c_str() + at + 5);
}

// What the library wrote since the last take.
std::string Host::take() {
    std::fflush(stderr);
    struct stat st {};
    fstat(file_fd_, &st);
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    expect(pread(file_fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()), "capture read");
    expect(ftruncate(file_fd_, 0) == 0 && lseek(file_fd_, 0, SEEK_SET) == 0, "capture reset");
    return text;
}

std::string Host::record_code(int code) {
    code_now = code;
    return code == 1 ? "" : format("Warning : internal table error detected ( code = %d )\n", code);
}

Table *Host::find(int id) {
    auto it = tables.find(id);
    return it != tables.end() && it->second.live ? &it->second : nullptr;
}

std::vector<int> Host::live() const {
    std::vector<int> ids;
    for (const auto &[id, t] : tables)
        if (t.live) ids.push_back(id);
    return ids;
}

// Ends one call: its result, its warning (at level 0 the only output
// allowed), the sticky code and the stored definition of table `id`.
void Host::end(const char *op, const std::string &out, int got, int want, const std::string &warn, int id) {
    const std::string where = format("%s on table %d: ", op, id);
    expect(got == want, where + format("result %d, expected %d", got, want));
    if (level_ <= 0) expect(out == warn, where + "wrote '" + out + "', expected '" + warn + "'");
    expect(tableErr(-1) == code_now, where + format("error code is not %d", code_now));
    take();
    tablePrint(id);
    std::intptr_t tptr, ftyp;
    int f[7];
    const std::string dump = take();
    expect(std::sscanf(dump.c_str(),
                       "    - stored definition for table id %*d\n    - tptr %" SCNdPTR "  rsiz %d  ktyp %d  kmod %d"
                       "  ftyp %" SCNdPTR "  allcd %d  rinc %d  used %d  cur %d",
                       &tptr, &f[0], &f[1], &f[2], &ftyp, &f[3], &f[4], &f[5], &f[6]) == 9,
           where + "dump '" + dump + "'");
    auto it = tables.find(id);
    if (it != tables.end()) {
        const Table &t = it->second;
        const int used = t.used();
        expect((tptr != 0) == t.live && f[0] == t.rsiz && f[1] == t.ktyp && f[2] == t.kmod && ftyp == t.ftyp &&
                   f[3] == t.allcd && f[4] == t.rinc && f[5] == used && f[6] == t.cur,
               where + "dump '" + dump + "'" + format(", expected allcd %d used %d cur %d", t.allcd, used, t.cur));
    } else if (id < 0 || id >= 1 << 20) {
        expect(tptr == 0 && ftyp == 0 && f[0] == 0 && f[3] == 0 && f[5] == 0 && f[6] == 0, where + "dump " + dump);
    }
    log_ += format("%s %d %d %d\n", op, id, got, it != tables.end() ? it->second.cur : -1);
}

// Checks that a key search of `key` over t's records that ended at `c` is
// one a binary search can give, and returns whether it found the key: a
// found record has the key; otherwise the record before `c` sorts before
// the key and the one at `c` after it. In ordered records that fixes `c`
// up to the member of a run of equal keys. A table without a comparison
// finds nothing and ends after the last record.
bool Host::search(Table &t, const std::string &key, int c, const std::string &out) {
    const int n = t.used();
    const std::string where = format("key search ending at %d of %d: ", c, n);
    expect(c >= 0 && c <= n, where + "position out of range");
    t.cur = c;
    if (t.ktyp == KEY_USER && t.ftyp == 0) {
        expect(c == n, where + "a table without comparison must end after the last record");
        return false;
    }
    const bool found = c < n && compare(t, t.rec(c), key) == 0;
    expect(found || ((c == 0 || compare(t, t.rec(c - 1), key) < 0) && (c == n || compare(t, t.rec(c), key) > 0)),
           where + "not where a binary search ends");
    bool ordered = true, present = false;
    for (int i = 0; i < n; ++i) {
        present = present || compare(t, t.rec(i), key) == 0;
        ordered = ordered && (i == 0 || compare(t, t.rec(i - 1), t.rec(i)) <= 0);
    }
    expect(!ordered || found == present, where + (present ? "missed a key it holds" : "found a key it lacks"));
    if (level_ >= 3 && n > 0) {
        int probes = 0;
        for (std::size_t p = 0; (p = out.find("find_record - status", p)) != std::string::npos; ++p) ++probes;
        int bound = 0;
        while ((n >> bound) != 0) ++bound;
        expect(probes >= 1 && probes <= bound, where + format("%d probes", probes));
        const std::string last = format(found ? "success, current = %d\n" : "fail, current = %d\n", c);
        expect(out.find(last) != std::string::npos, where + "trace lacks " + last);
    }
    return found;
}

int Host::create(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    int code = 0;
    if (rsiz <= 0)
        code = TERR_BADSIZE;
    else if (ktyp < 0 || ktyp > 2)
        code = TERR_BADKTYP;
    else if ((ktyp == KEY_INT && ftyp != 1 && ftyp != 2 && ftyp != 4) || (ktyp == KEY_STRING && (ftyp < 1 || ftyp > rsiz)))
        code = TERR_BADFTYP;
    else if (kmod != 0 && kmod != 1)
        code = TERR_BADKMOD;
    else if (std::int64_t{rsiz} * std::max(recs, 100) > INT_MAX)
        code = TERR_NOMEM;
    const long failures = testmem::failures();
    const int id = tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
    const std::string out = take();
    if (code == 0 && testmem::failures() > failures) code = TERR_NOMEM;
    if (code != 0) {
        end("tableNew", out, id, -1, record_code(code), -1);
        return -1;
    }
    int lowest = 0;
    while (find(lowest)) ++lowest;
    tables[lowest] = Table{rsiz, ktyp, kmod, ftyp, std::max(recs, 100), std::max(rinc, 50), 0, true, {}};
    end("tableNew", out, id, lowest, "", lowest);
    return id;
}

void Host::free(int id) {
    Table *t = find(id);
    const int r = tableFree(id);
    const std::string out = take();
    if (t) t->live = false;
    end("tableFree", out, r, 1, t ? "" : record_code(TERR_BADID), id);
}

void Host::count(int id) {
    Table *t = find(id);
    const int r = tableCount(id);
    const std::string out = take();
    end("tableCount", out, r, t ? t->used() : -1, t ? "" : record_code(TERR_BADID), id);
}

void Host::err(int code) {
    const int before = code_now;
    const int r = tableErr(code);
    const std::string out = take();
    end("tableErr", out, r, before, code >= 0 && code <= 8 ? record_code(code == 0 ? before : code) : "", -1);
}

void Host::add(int id, const std::string *rec) {
    Table *t = find(id);
    const long failures = testmem::failures();
    const int r = tableAdd(id, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || !rec) return end("tableAdd", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const bool oom = testmem::failures() > failures;
    const int used = t->used();
    expect(!oom || used == t->allcd, "tableAdd called the memory service without growing");
    const int c = position(id);
    if (search(*t, *rec, c, out) && t->kmod == KEY_UNIQUE) return end("tableAdd", out, r, 0, "", id);
    if (oom || (used == t->allcd && (std::int64_t{t->allcd} + t->rinc) * t->rsiz > INT_MAX))
        return end("tableAdd", out, r, 0, record_code(TERR_NOMEM), id);
    if (used == t->allcd) t->allcd += t->rinc;
    t->recs.insert(t->recs.begin() + c, *rec);
    end("tableAdd", out, r, 1, "", id);
}

void Host::set(int id, const std::string *rec) {
    Table *t = find(id);
    const int r = tableSet(id, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || !rec) return end("tableSet", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const int c = position(id);
    const bool found = search(*t, *rec, c, out);
    if (found) t->rec(c) = *rec;
    end("tableSet", out, r, found, "", id);
}

void Host::get(int id, int recid, std::string *rec) {
    Table *t = find(id);
    const std::string before = rec ? *rec : "";
    const int r = tableGet(id, recid, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || !rec) return end("tableGet", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    bool found;
    if (is_key(recid)) {
        found = search(*t, before, position(id), out);
    } else {
        found = move(*t, recid);
    }
    expect(*rec == (found ? t->rec(t->cur) : before), "tableGet: wrong bytes in the buffer");
    end("tableGet", out, r, found, "", id);
}

void Host::seek(int id, int recid, const std::string *rec) {
    Table *t = find(id);
    const int r = tableSeek(id, recid, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || (!rec && is_key(recid))) return end("tableSeek", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    bool found;
    if (is_key(recid)) {
        found = search(*t, *rec, position(id), out);
    } else {
        found = move(*t, recid);
    }
    end("tableSeek", out, r, found, "", id);
}

// A key deletion is preceded by a seek of the same key, which tells which
// member of a run the deletion's own search meets.
void Host::del(int id, int recid, const std::string *rec) {
    Table *t = find(id);
    if (t && rec && is_key(recid)) seek(id, recid, rec);
    const int r = tableDel(id, recid, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || (!rec && is_key(recid))) return end("tableDel", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const bool found = is_key(recid) ? !(t->ktyp == KEY_USER && t->ftyp == 0) &&
                                           t->cur < t->used() &&
                                           compare(*t, t->rec(t->cur), *rec) == 0
                                     : move(*t, recid);
    if (found) {
        t->recs.erase(t->recs.begin() + t->cur);
        const int n = t->used();
        if (t->cur == n) t->cur = n > 0 ? n - 1 : 0;
    }
    end("tableDel", out, r, found, "", id);
}

void Host::next(int id, bool null_buffer) {
    Table *t = find(id);
    std::string buf(static_cast<std::size_t>(t ? t->rsiz : 8), '\x5a');
    const int r = tableNext(id, null_buffer ? nullptr : buf.data());
    const std::string out = take();
    if (!t || null_buffer) return end("tableNext", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const bool more = t->cur < t->used();
    if (more) expect(buf == t->rec(t->cur++), "tableNext: wrong record");
    end("tableNext", out, r, more, "", id);
}

void Host::prev(int id, bool null_buffer) {
    Table *t = find(id);
    std::string buf(static_cast<std::size_t>(t ? t->rsiz : 8), '\x5a');
    const int r = tablePrev(id, null_buffer ? nullptr : buf.data());
    const std::string out = take();
    if (!t || null_buffer) return end("tablePrev", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const int n = t->used();
    if (t->cur >= n) t->cur = n > 0 ? n - 1 : 0;
    if (n > 0) expect(buf == t->rec(t->cur), "tablePrev: wrong record");
    if (t->cur > 0) --t->cur;
    end("tablePrev", out, r, 1, "", id);
}

void Host::update(int id, const std::string *rec) {
    Table *t = find(id);
    const int r = tableUpdate(id, rec ? rec->data() : nullptr);
    const std::string out = take();
    if (!t || !rec) return end("tableUpdate", out, r, 0, t ? "" : record_code(TERR_BADID), id);
    const bool more = t->cur < t->used();
    if (more) t->rec(t->cur++) = *rec;
    end("tableUpdate", out, r, more, "", id);
}

void Host::at_start(int id) {
    Table *t = find(id);
    const int r = tableAtStart(id);
    const std::string out = take();
    end("tableAtStart", out, r, t ? t->cur == 0 : 1, t ? "" : record_code(TERR_BADID), id);
}

void Host::at_end(int id) {
    Table *t = find(id);
    const int r = tableAtEnd(id);
    const std::string out = take();
    end("tableAtEnd", out, r, t ? t->cur >= t->used() : 1, t ? "" : record_code(TERR_BADID),
        id);
}

void Host::finish() {
    for (int id : live()) {
        seek(id, REC_FIRST, nullptr);
        for (std::size_t i = 0; i <= tables[id].recs.size(); ++i) next(id);
        free(id);
    }
    expect(testmem::live_blocks() <= 1, "blocks left behind besides the registry");
}

std::string Host::record(int id, const Pick &pick) const {
    const Table &t = tables.at(id);
    std::string rec(static_cast<std::size_t>(t.rsiz), '\0');
    std::minstd_rand fill(pick(1 << 16) + 1);
    for (char &ch : rec) ch = static_cast<char>(fill());
    const std::size_t width = t.ktyp == KEY_USER ? 3 : static_cast<std::size_t>(t.ftyp);
    if (!t.recs.empty() && pick(2)) {
        std::memcpy(rec.data(), t.rec(static_cast<int>(pick(static_cast<unsigned>(t.used())))).data(), width);
    } else if (t.ktyp == KEY_STRING) {
        const std::size_t len = pick(static_cast<unsigned>(width) + 1);
        for (std::size_t i = 0; i < len; ++i) rec[i] = "ab\xe9"[pick(3)];
        if (len < width) rec[len] = '\0';
    } else {
        const std::int32_t small = static_cast<std::int32_t>(pick(40)) - 20;
        const bool extreme = pick(5) == 0, top = pick(2);
        auto put = [&](auto zero) {
            using T = decltype(zero);
            const T v = !extreme ? static_cast<T>(small) : top ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
            std::memcpy(rec.data() + (t.ktyp == KEY_USER), &v, sizeof v);
        };
        if (t.ktyp == KEY_USER || width == 2) put(std::int16_t{});
        else if (width == 4) put(std::int32_t{});
        else put(std::int8_t{});
    }
    return rec;
}

std::string run_sequence(const Pick &pick, int steps, int level, long fail) {
    Host h(level);
    h.free(h.create(1, KEY_INT, KEY_UNIQUE, 1, 0, 0));  // the registry, made before any failure
    testmem::fail_call(fail);
    // Keys of every kind: integers of each width, texts short and long,
    // a caller's comparison and a missing one; records of 1 to 64 bytes.
    auto make = [&] {
        static const std::intptr_t user = reinterpret_cast<std::intptr_t>(&descending16);
        static const struct { int ktyp; std::intptr_t ftyp; } kinds[] = {
            {KEY_INT, 1}, {KEY_INT, 2}, {KEY_INT, 4}, {KEY_STRING, 1}, {KEY_STRING, 5}, {KEY_STRING, 23},
            {KEY_USER, user}, {KEY_USER, 0}};
        const auto k = kinds[pick(8)];
        const int least = k.ktyp == KEY_USER ? 3 : static_cast<int>(k.ftyp);
        const int rsiz = std::max(least, pick(3) ? 17 + static_cast<int>(pick(48)) : 1 + static_cast<int>(pick(16)));
        const int id = h.create(rsiz, k.ktyp, static_cast<int>(pick(2)), k.ftyp, static_cast<int>(pick(130)),
                                pick(2) ? 0 : 50 + static_cast<int>(pick(30)));
        if (id < 0) return;
        // Ascending appends, equal keys among them.
        std::vector<std::string> recs(pick(4) ? pick(20) : pick(220));
        for (auto &r : recs) r = h.record(id, pick);
        if (k.ftyp != 0)
            std::stable_sort(recs.begin(), recs.end(), [&](const std::string &a, const std::string &b) {
                return compare(h.tables.at(id), a, b) < 0;
            });
        for (const auto &r : recs) h.add(id, &r);
    };
    for (unsigned i = 1 + pick(3); i > 0; --i) make();
    for (int step = 0; step < steps; ++step) {
        std::vector<int> ids = h.live();
        if (ids.empty()) {
            make();
            continue;
        }
        const int id = ids[pick(static_cast<unsigned>(ids.size()))];
        const int bad[] = {-1, 1 << 20, h.tables.rbegin()->first + 1 + static_cast<int>(pick(2)), id};
        const int target = pick(12) ? id : bad[pick(4)];
        std::string rec = h.record(id, pick);
        const Table &t = h.tables.at(id);
        if (pick(3) == 0 && t.cur < t.used())  // same key, new payload
            std::memcpy(rec.data(), t.rec(t.cur).data(), t.ktyp == KEY_USER ? 3 : std::size_t(t.ftyp));
        std::string *buf = pick(16) ? &rec : nullptr;
        const int selectors[] = {REC_FIRST, REC_CURRENT, REC_LAST, REC_KEY, REC_PREV, REC_NEXT, 7, -9, REC_KEY};
        const int recid = selectors[pick(9)];
        switch (pick(16)) {
        case 0: case 1: case 2: h.add(target, buf); break;
        case 3: h.set(target, buf); break;
        case 4: h.get(target, recid, buf); break;
        case 5: h.seek(target, recid, buf); break;
        case 6: h.del(target, recid, buf); break;
        case 7: case 8: h.next(target, buf == nullptr); break;
        case 9: h.prev(target, buf == nullptr); break;
        case 10: h.update(target, buf); break;
        case 11: pick(2) ? h.at_start(target) : h.at_end(target); break;
        case 12: h.count(target); break;
        case 13: h.err(static_cast<int>(pick(12)) - 2); break;
        case 14:
            if (pick(4)) {
                make();
            } else {  // refused definitions: size, key type, key field, key mode, overflowing size
                const int refused[][5] = {{0, 0, 0, 4, 0}, {8, 3, 0, 4, 0}, {8, 0, 5, 3, 0}, {8, 1, 0, 9, 0},
                                          {8, 0, 2, 4, 0}, {8, 0, -1, 4, 0}, {INT_MAX / 50, 0, 0, 4, 0}};
                const auto &p = refused[pick(7)];
                h.create(p[0], p[1], p[2], p[3], p[4], 0);
            }
            break;
        default: h.free(target); break;
        }
    }
    h.finish();
    testmem::fail_call(0);
    return h.log();
}
