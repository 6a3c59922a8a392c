#include "sequence.h"

#include <climits>
#include <cstring>

#include "morvane.h"

namespace {

constexpr int kMaxTables = 10;
constexpr int kMaxRecords = 320;

std::intptr_t fn_value(TableCompareFn fn) { return reinterpret_cast<std::intptr_t>(fn); }

template <typename T>
void store(model::Bytes &b, T value) {
    std::memcpy(&b[0], &value, sizeof value);
}

}  // namespace

int compare_desc16(const void *record, const void *key) {
    std::uint16_t a, b;
    std::memcpy(&a, record, sizeof a);
    std::memcpy(&b, key, sizeof b);
    return int{b} - int{a};
}

int compare_low3(const void *record, const void *key) {
    return (*static_cast<const unsigned char *>(record) & 7) - (*static_cast<const unsigned char *>(key) & 7);
}

int Sequence::live_table() {
    const auto live = h_.model().live_ids();
    return live.empty() ? -1 : live[s_.below(static_cast<std::uint32_t>(live.size()))];
}

// Mostly a live table; sometimes an id that names none.
int Sequence::some_table() {
    const model::Model &m = h_.model();
    const std::uint32_t r = s_.below(100);
    if (r < 82 && !m.live_ids().empty()) return live_table();
    if (r < 90) return s_.range(-1, m.defs_used() + 1);
    if (r < 95) {
        for (int i = 0; i < m.defs_used(); ++i)
            if (!m.is_live(i)) return i;  // a freed slot
        return -1;
    }
    return s_.pick({-1, INT_MIN, INT_MAX, m.defs_allocd(), m.defs_allocd() - 1, 100});
}

int Sequence::selector() {
    switch (s_.below(10)) {
    case 7: return s_.pick({0, 1, 7, 100, INT_MAX});
    case 8: return s_.pick({-7, -8, -9, -100, INT_MIN, INT_MIN + 1});
    case 9: return REC_KEY;
    default: return -1 - static_cast<int>(s_.below(6));
    }
}

int Sequence::key_bytes(int tabid) const {
    const model::Table &t = h_.model().slot(tabid);
    if (t.ktyp != KEY_USER) return static_cast<int>(t.ftyp);
    if (t.ftyp == fn_value(&compare_desc16)) return 2;
    return t.ftyp == fn_value(&compare_low3) ? 1 : 0;
}

// A record (or key buffer) for table `tabid`: its key either taken from a
// record of the table or new, then a payload distinct from every other.
model::Bytes Sequence::record_for(int tabid) {
    const model::Model &m = h_.model();
    if (!m.is_live(tabid)) return model::Bytes(1 + s_.below(12), 'x');
    const model::Table &t = m.slot(tabid);
    model::Bytes r(static_cast<std::size_t>(t.rsiz), '\0');
    ++stamp_;
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<char>(stamp_ >> (8 * (i % 4)));
    const int kb = key_bytes(tabid);
    if (kb == 0) return r;
    if (!t.recs.empty() && s_.chance(45)) {
        const model::Bytes &other = t.recs[s_.below(static_cast<std::uint32_t>(t.recs.size()))];
        std::memcpy(&r[0], other.data(), static_cast<std::size_t>(kb));
        return r;
    }
    const bool small = s_.chance(85);
    if (t.ktyp == KEY_INT && t.ftyp == 1) {
        store(r, static_cast<std::int8_t>(small ? s_.range(-5, 5) : s_.range(-128, 127)));
    } else if (t.ktyp == KEY_INT && t.ftyp == 2) {
        store(r, static_cast<std::int16_t>(small ? s_.range(-5, 5) : s_.pick({-32768, 32767, -1, 300})));
    } else if (t.ktyp == KEY_INT) {
        store(r, small ? s_.range(-5, 5)
                       : (s_.chance(50) ? s_.pick({INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1, -1})
                                        : static_cast<int>(s_.bits32())));
    } else if (t.ktyp == KEY_STRING) {
        const int len = s_.range(0, kb);
        for (int i = 0; i < kb; ++i) {
            if (i < len)
                r[static_cast<std::size_t>(i)] = s_.chance(5) ? '\xe9' : static_cast<char>('a' + s_.below(3));
            else if (i == len)
                r[static_cast<std::size_t>(i)] = '\0';
            else  // bytes after the end of the text must not count
                r[static_cast<std::size_t>(i)] = static_cast<char>(s_.below(256));
        }
    } else {
        for (int i = 0; i < kb; ++i) r[static_cast<std::size_t>(i)] = static_cast<char>(s_.below(kb == 1 ? 256 : 3));
    }
    return r;
}

model::Bytes *Sequence::maybe_null(model::Bytes &b) { return s_.chance(4) ? nullptr : &b; }

void Sequence::create_table() {
    if (static_cast<int>(h_.model().live_ids().size()) >= kMaxTables) {
        h_.tableFree(live_table());
        return;
    }
    const int kmod = static_cast<int>(s_.below(2));
    int rsiz = 0, ktyp = KEY_INT;
    std::intptr_t ftyp = 0;
    switch (s_.below(9)) {
    case 0: ftyp = 1; rsiz = s_.range(1, 6); break;
    case 1: ftyp = 2; rsiz = s_.range(2, 8); break;
    case 2: ftyp = 4; rsiz = s_.range(4, 12); break;
    case 3:
    case 4: ktyp = KEY_STRING; ftyp = s_.range(1, 6); rsiz = static_cast<int>(ftyp) + s_.range(0, 4); break;
    case 5: ktyp = KEY_USER; ftyp = fn_value(&compare_desc16); rsiz = s_.range(2, 8); break;
    case 6: ktyp = KEY_USER; ftyp = fn_value(&compare_low3); rsiz = s_.range(1, 6); break;
    case 7: ktyp = KEY_USER; ftyp = 0; rsiz = s_.range(1, 8); break;
    default: return create_refused_table();
    }
    const int recs = s_.pick({0, -5, 100, 100, 101, 130, INT_MIN});
    int rinc = s_.pick({0, -1, 50, 51, 80});
    // A growth step whose size cannot be asked for: refused when full.
    if (s_.chance(4)) rinc = rsiz >= 2 && s_.chance(50) ? INT_MAX / 2 : INT_MAX;
    if (s_.chance(12)) h_.fail_next_call(static_cast<int>(1 + s_.below(2)));
    h_.tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
}

// Parameters refused by validation, or sizes that do not fit in 32 bits.
void Sequence::create_refused_table() {
    const std::intptr_t wide = sizeof(std::intptr_t) > 4 ? static_cast<std::intptr_t>(INT64_C(1) << 32 | 4) : -4;
    switch (s_.below(9)) {
    case 0: h_.tableNew(s_.pick({0, -1, INT_MIN}), s_.pick({0, 9}), 0, 4, 10, 10); break;
    case 1: h_.tableNew(8, s_.pick({3, -1, INT_MAX, INT_MIN}), s_.pick({0, 5}), 4, 10, 10); break;
    case 2: h_.tableNew(8, KEY_INT, s_.pick({2, -1, INT_MIN, INT_MAX}), 4, 10, 10); break;
    case 3: h_.tableNew(8, KEY_INT, s_.pick({0, 5}), s_.pick({0, 3, 8, -4}), 10, 10); break;
    case 4: h_.tableNew(s_.range(1, 3), KEY_INT, 0, 4, 10, 10); break;  // wider than the record
    case 5: h_.tableNew(6, KEY_STRING, 1, s_.pick({0, -1, 7}), 10, 10); break;
    case 6: h_.tableNew(8, s_.pick({KEY_INT, KEY_STRING}), 0, wide, 10, 10); break;
    case 7: h_.tableNew(65536, KEY_INT, 0, 4, 65536, 0); break;  // 2^32 bytes
    default: h_.tableNew(s_.pick({INT_MAX, 30000000}), KEY_STRING, 1, 1, s_.pick({0, 100}), 0); break;
    }
}

// Plans a failure of the memory service, mostly when table `id` is full
// and an insertion has to grow it.
void Sequence::maybe_fail_memory(int id) {
    const model::Model &m = h_.model();
    const bool full = m.is_live(id) && m.slot(id).used() == m.slot(id).allcd;
    if (s_.chance(full ? 35 : 1)) h_.fail_next_call(1);
}

void Sequence::add() {
    const int id = some_table();
    if (h_.model().is_live(id) && h_.model().slot(id).used() >= kMaxRecords) {
        h_.tableDel(id, REC_FIRST, nullptr);
        return;
    }
    model::Bytes r = record_for(id);
    maybe_fail_memory(id);
    h_.tableAdd(id, maybe_null(r));
}

void Sequence::burst_add() {
    const int id = live_table();
    if (id < 0) return create_table();
    const int n = s_.range(20, 120);
    for (int i = 0; i < n && h_.ok() && h_.model().slot(id).used() < kMaxRecords; ++i) {
        model::Bytes r = record_for(id);
        maybe_fail_memory(id);
        h_.tableAdd(id, &r);
    }
}

void Sequence::drain() {
    const int id = live_table();
    if (id < 0) return;
    const int n = s_.range(5, 60);
    for (int i = 0; i < n && h_.ok() && !s_.exhausted(); ++i) {
        model::Bytes k = record_for(id);
        h_.tableDel(id, s_.pick({REC_FIRST, REC_LAST, REC_CURRENT, REC_KEY, REC_NEXT}), &k);
    }
}

// Positions a table and moves through it with the cursor operations.
void Sequence::cursor_run() {
    const int id = live_table();
    if (id < 0) return;
    h_.tableSeek(id, s_.chance(50) ? REC_FIRST : REC_LAST, nullptr);
    const int n = s_.range(1, 12);
    for (int i = 0; i < n && h_.ok() && !s_.exhausted(); ++i) {
        model::Bytes b = record_for(id);
        switch (s_.below(5)) {
        case 0: h_.tableNext(id, &b); break;
        case 1: h_.tablePrev(id, &b); break;
        case 2: h_.tableAtStart(id); break;
        case 3: h_.tableAtEnd(id); break;
        default: h_.tableUpdate(id, &b); break;
        }
    }
}

void Sequence::step() {
    if (s_.chance(1)) h_.fail_next_call(1);  // an operation that allocates nothing
    const std::uint32_t w = s_.below(100);
    if (h_.model().live_ids().empty() && w < 80) return create_table();
    const int id = some_table();
    model::Bytes b = record_for(id);
    if (w < 26) return add();
    if (w < 31) return void(h_.tableSet(id, maybe_null(b)));
    if (w < 40) return void(h_.tableGet(id, selector(), maybe_null(b)));
    if (w < 46) return void(h_.tableSeek(id, selector(), maybe_null(b)));
    if (w < 53) return void(h_.tableDel(id, selector(), maybe_null(b)));
    if (w < 59) return void(h_.tableNext(id, maybe_null(b)));
    if (w < 64) return void(h_.tablePrev(id, maybe_null(b)));
    if (w < 67) return void(h_.tableUpdate(id, maybe_null(b)));
    if (w < 69) return void(h_.tableAtStart(id));
    if (w < 71) return void(h_.tableAtEnd(id));
    if (w < 73) return void(h_.tableCount(id));
    if (w < 78) return create_table();
    if (w < 80) return void(h_.tableFree(id));
    if (w < 85) {  // mostly a reset, so that the next recorded code shows
        const int err = s_.chance(50) ? TERR_NONE : s_.range(-3, 10);
        return void(h_.tableErr(s_.chance(5) ? s_.pick({INT_MIN, INT_MAX}) : err));
    }
    if (w < 87) return h_.tableSetDebug(s_.pick({0, 0, 1, 2, 3, -1, 4, INT_MIN}));
    if (w < 88) return h_.tablePrint(id);
    if (w < 91) return burst_add();
    if (w < 94) return drain();
    return cursor_run();
}
