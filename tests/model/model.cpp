#include "model.h"

#include <climits>
#include <cstring>
#include <ostream>
#include <sstream>

#include "morvane.h"

namespace model {
namespace {

constexpr int kRegistryStep = 100;
constexpr int kMinRecs = 100;
constexpr int kMinRinc = 50;

template <typename T>
std::int64_t load(const void *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::int64_t int_key(std::intptr_t width, const void *p) {
    if (width == 1) return load<std::int8_t>(p);
    if (width == 2) return load<std::int16_t>(p);
    return load<std::int32_t>(p);
}

}  // namespace

std::string Dump::text() const {
    std::ostringstream s;
    s << "tptr " << (tptr ? "set" : "null") << " rsiz " << rsiz << " ktyp " << ktyp << " kmod "
      << kmod << " ftyp " << ftyp << " allcd " << allcd << " rinc " << rinc << " used " << used
      << " cur " << cur;
    return s.str();
}

void PrintTo(const Dump &d, std::ostream *os) { *os << d.text(); }

int compare_key(const Table &t, const Bytes &record, const unsigned char *key) {
    const auto *rec = reinterpret_cast<const unsigned char *>(record.data());
    if (t.ktyp == KEY_INT) {
        const std::int64_t a = int_key(t.ftyp, rec), b = int_key(t.ftyp, key);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    if (t.ktyp == KEY_STRING) {
        for (std::intptr_t i = 0; i < t.ftyp; ++i) {
            if (rec[i] != key[i]) return rec[i] < key[i] ? -1 : 1;
            if (rec[i] == 0) break;
        }
        return 0;
    }
    const auto fn = reinterpret_cast<TableCompareFn>(t.ftyp);
    return fn(rec, key);
}

bool is_key_selector(int recid) { return recid == REC_KEY || recid >= 0 || recid < REC_NEXT; }

bool Model::is_live(int tabid) const {
    return tabid >= 0 && tabid < defs_allocd() && slot(tabid).live;
}

std::vector<int> Model::live_ids() const {
    std::vector<int> ids;
    for (int i = 0; i < defs_used_; ++i)
        if (slot(i).live) ids.push_back(i);
    return ids;
}

long Model::live_blocks() const {
    return (has_registry() ? 1 : 0) + static_cast<long>(live_ids().size());
}

bool Model::memory() { return !grant || grant(); }

bool Model::good_table(int tabid) {
    if (is_live(tabid)) return true;
    code_ = TERR_BADID;
    return false;
}

int Model::tableErr(int err) {
    const int previous = code_;
    if (err >= 0 && err <= 8) code_ = err == 0 ? previous : err;
    return previous;
}

int Model::tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    int refusal = 0;
    if (rsiz <= 0)
        refusal = TERR_BADSIZE;
    else if (ktyp == KEY_INT && !((ftyp == 1 || ftyp == 2 || ftyp == 4) && ftyp <= rsiz))
        refusal = TERR_BADFTYP;
    else if (ktyp == KEY_STRING && !(ftyp >= 1 && ftyp <= rsiz))
        refusal = TERR_BADFTYP;
    else if (ktyp != KEY_INT && ktyp != KEY_STRING && ktyp != KEY_USER)
        refusal = TERR_BADKTYP;
    else if (kmod != KEY_UNIQUE && kmod != KEY_DUPLICATES)
        refusal = TERR_BADKMOD;
    if (refusal != 0) {
        code_ = refusal;
        return -1;
    }

    // The slot: the lowest free one, else the next never used, growing the
    // registry by 100 slots when all are used.
    int id = -1;
    for (int i = 0; i < defs_used_ && id < 0; ++i)
        if (!slot(i).live) id = i;
    if (id < 0) {
        if (defs_used_ == defs_allocd()) {
            if (!memory()) {
                code_ = TERR_NOMEM;
                return -1;
            }
            slots_.resize(slots_.size() + kRegistryStep);
        }
        id = defs_used_++;
    }

    if (recs < kMinRecs) recs = kMinRecs;
    if (std::int64_t{rsiz} * recs > INT_MAX || !memory()) {
        code_ = TERR_NOMEM;  // the slot stays free, the registry as made
        return -1;
    }
    Table &t = slots_[static_cast<std::size_t>(id)];
    t = Table{};
    t.live = true;
    t.rsiz = rsiz;
    t.ktyp = ktyp;
    t.kmod = kmod;
    t.ftyp = ftyp;
    t.allcd = recs;
    t.rinc = rinc < kMinRinc ? kMinRinc : rinc;
    return id;
}

int Model::tableFree(int tabid) {
    if (good_table(tabid)) {
        Table &t = slots_[static_cast<std::size_t>(tabid)];
        t.live = false;  // the other fields stay until the slot is reused
    }
    return 1;
}

int Model::tableCount(int tabid) { return good_table(tabid) ? slot(tabid).used() : -1; }

Dump Model::tablePrint(int tabid) const {
    Dump d;
    if (tabid < 0 || tabid >= defs_allocd()) return d;
    const Table &t = slot(tabid);
    d.tptr = t.live;
    d.rsiz = t.rsiz;
    d.ktyp = t.ktyp;
    d.kmod = t.kmod;
    d.ftyp = t.ftyp;
    d.allcd = t.allcd;
    d.rinc = t.rinc;
    d.used = t.used();
    d.cur = t.cur;
    return d;
}

bool Model::find_record(Table &t, int recid, const unsigned char *key) {
    const int used = t.used();
    if (used == 0) {
        t.cur = 0;
        return false;
    }
    switch (recid) {
    case REC_NEXT:
        if (t.cur >= used - 1) return false;
        ++t.cur;
        return true;
    case REC_PREV:
        if (t.cur == 0) return false;
        --t.cur;
        return true;
    case REC_LAST:
        t.cur = used - 1;
        return true;
    case REC_CURRENT:
        if (t.cur >= used) t.cur = used - 1;
        return true;
    case REC_FIRST:
        t.cur = 0;
        return true;
    default:
        break;
    }
    if (t.ktyp == KEY_USER && t.ftyp == 0) {  // no comparison: nothing found
        t.cur = used;
        return false;
    }
    int low = 0, high = used;
    do {
        const int mid = (low + high) / 2;
        const int c = compare_key(t, t.recs[static_cast<std::size_t>(mid)], key);
        if (c == 0) {
            t.cur = mid;
            return true;
        }
        if (c > 0)
            high = mid;
        else
            low = mid + 1;
    } while (low != high);
    t.cur = high;
    return false;
}

bool Model::add_record(Table &t) {
    if (t.used() == t.allcd) {
        const std::int64_t slots = std::int64_t{t.allcd} + t.rinc;
        if (slots > INT_MAX || slots * t.rsiz > INT_MAX || !memory()) {
            code_ = TERR_NOMEM;
            return false;
        }
        t.allcd = static_cast<int>(slots);
    }
    t.recs.insert(t.recs.begin() + t.cur, Bytes(static_cast<std::size_t>(t.rsiz), '\0'));
    return true;
}

void Model::delete_record(Table &t) {
    t.recs.erase(t.recs.begin() + t.cur);
    if (t.cur == t.used()) t.cur = t.cur > 0 ? t.cur - 1 : 0;
}

namespace {

Table &mutable_slot(std::vector<Table> &slots, int tabid) {
    return slots[static_cast<std::size_t>(tabid)];
}

Bytes record_from(const Table &t, const void *rptr) {
    return Bytes(static_cast<const char *>(rptr), static_cast<std::size_t>(t.rsiz));
}

const unsigned char *key_of(const void *rptr) { return static_cast<const unsigned char *>(rptr); }

}  // namespace

int Model::tableAdd(int tabid, const void *rptr) {
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    const bool found = find_record(t, REC_KEY, key_of(rptr));
    if (found && t.kmod == KEY_UNIQUE) return 0;
    if (!add_record(t)) return 0;
    t.recs[static_cast<std::size_t>(t.cur)] = record_from(t, rptr);
    return 1;
}

int Model::tableSet(int tabid, const void *rptr) {
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (!find_record(t, REC_KEY, key_of(rptr))) return 0;
    t.recs[static_cast<std::size_t>(t.cur)] = record_from(t, rptr);
    return 1;
}

int Model::tableGet(int tabid, int recid, void *rptr) {
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (!find_record(t, recid, key_of(rptr))) return 0;
    const Bytes &r = t.recs[static_cast<std::size_t>(t.cur)];
    std::memcpy(rptr, r.data(), r.size());
    return 1;
}

int Model::tableSeek(int tabid, int recid, const void *rptr) {
    if (!good_table(tabid) || (rptr == nullptr && is_key_selector(recid))) return 0;
    return find_record(mutable_slot(slots_, tabid), recid, key_of(rptr)) ? 1 : 0;
}

int Model::tableDel(int tabid, int recid, const void *rptr) {
    if (!good_table(tabid) || (rptr == nullptr && is_key_selector(recid))) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (!find_record(t, recid, key_of(rptr))) return 0;
    delete_record(t);
    return 1;
}

int Model::tableNext(int tabid, void *rptr) {
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (t.cur >= t.used()) return 0;
    const Bytes &r = t.recs[static_cast<std::size_t>(t.cur)];
    std::memcpy(rptr, r.data(), r.size());
    ++t.cur;
    return 1;
}

int Model::tableUpdate(int tabid, const void *rptr) {
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (t.cur >= t.used()) return 0;
    t.recs[static_cast<std::size_t>(t.cur)] = record_from(t, rptr);
    ++t.cur;
    return 1;
}

int Model::tablePrev(int tabid, void *rptr) {
    prev_copied_nothing_ = false;
    if (!good_table(tabid) || rptr == nullptr) return 0;
    Table &t = mutable_slot(slots_, tabid);
    if (t.cur >= t.used()) t.cur = t.used() > 0 ? t.used() - 1 : 0;
    if (t.used() == 0) {
        prev_copied_nothing_ = true;
    } else {
        const Bytes &r = t.recs[static_cast<std::size_t>(t.cur)];
        std::memcpy(rptr, r.data(), r.size());
    }
    if (t.cur > 0) --t.cur;
    return 1;
}

int Model::tableAtStart(int tabid) { return good_table(tabid) ? (slot(tabid).cur == 0 ? 1 : 0) : 1; }

int Model::tableAtEnd(int tabid) {
    return good_table(tabid) ? (slot(tabid).cur >= slot(tabid).used() ? 1 : 0) : 1;
}

}  // namespace model
