// The contestants: a morvane table and the containers a user would otherwise
// pick, behind one small interface so that every workload runs the very same
// loop on each of them:
//   insert(rec)       add a record in key order (equal keys allowed);
//   find(q)           look up the key of q and copy the found record into q;
//   erase(q)          delete the record with the key of q;
//   size()            records held;
//   for_each(f)       f(record) for every record in key order;
//   load_sorted(recs) fill an empty container from records in key order.
// Every contestant is made from (recs, rinc), which only the morvane table
// uses. All but the morvane table allocate through CountingAllocator.
#ifndef MORVANE_BENCH_CONTESTANTS_H
#define MORVANE_BENCH_CONTESTANTS_H

#include <absl/container/btree_map.h>

#include <algorithm>
#include <boost/container/flat_map.hpp>
#include <cstddef>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

#include "memory.h"
#include "morvane.h"

namespace bench {

// A morvane table of K's records, through the public header alone. `recs`
// and `rinc` go to tableNew as they are (the library raises them to 100 and
// 50 when lower).
template <class K>
class MorvaneTable {
public:
    using Rec = typename K::Rec;
    static constexpr const char *name = "morvane";

    MorvaneTable(int recs, int rinc)
        : id_(tableNew(static_cast<int>(sizeof(Rec)), K::ktyp, KEY_DUPLICATES, K::ftyp(), recs, rinc)) {}
    ~MorvaneTable() {
        if (id_ >= 0) tableFree(id_);
    }
    MorvaneTable(const MorvaneTable &) = delete;
    MorvaneTable &operator=(const MorvaneTable &) = delete;

    bool ok() const noexcept { return id_ >= 0; }
    bool insert(const Rec &r) noexcept { return tableAdd(id_, &r) == 1; }
    bool find(Rec &q) noexcept { return tableGet(id_, REC_KEY, &q) == 1; }
    bool erase(const Rec &q) noexcept { return tableDel(id_, REC_KEY, &q) == 1; }
    std::size_t size() const noexcept {
        const int n = tableCount(id_);
        return n < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(n);
    }
    template <class F>
    void for_each(F &&f) noexcept {
        Rec buf;
        tableSeek(id_, REC_FIRST, nullptr);
        while (tableNext(id_, &buf) == 1) f(buf);
    }
    bool load_sorted(const std::vector<Rec> &recs) noexcept {
        for (const Rec &r : recs)
            if (!insert(r)) return false;
        return true;
    }
    int id() const noexcept { return id_; }

private:
    int id_;
};

// The closest peer: a sorted std::vector of the same records, binary search
// plus insert/erase, which move the tail just as the table does.
template <class K>
class SortedVector {
public:
    using Rec = typename K::Rec;
    using Key = typename K::Key;
    static constexpr const char *name = "sorted_vector";

    SortedVector(int, int) noexcept {}
    bool ok() const noexcept { return true; }
    bool insert(const Rec &r) {
        v_.insert(lower(K::key_of(r)), r);
        return true;
    }
    bool find(Rec &q) noexcept {
        const Key k = K::key_of(q);
        const auto it = lower(k);
        if (it == v_.end() || !K::rec_equal(&*it, k)) return false;
        q = *it;
        return true;
    }
    bool erase(const Rec &q) {
        const Key k = K::key_of(q);
        const auto it = lower(k);
        if (it == v_.end() || !K::rec_equal(&*it, k)) return false;
        v_.erase(it);
        return true;
    }
    std::size_t size() const noexcept { return v_.size(); }
    template <class F>
    void for_each(F &&f) const {
        for (const Rec &r : v_) f(r);
    }
    bool load_sorted(const std::vector<Rec> &recs) {
        v_.assign(recs.begin(), recs.end());
        return true;
    }

private:
    using Vec = std::vector<Rec, CountingAllocator<Rec>>;
    typename Vec::iterator lower(const Key &k) {
        return std::lower_bound(v_.begin(), v_.end(), k,
                                [](const Rec &r, const Key &key) { return K::rec_less(&r, key); });
    }
    Vec v_;
};

// The bound for ascending loads: push_back into a std::vector that already
// has room for every record (made with `recs` reserved). Only ascending
// loads use it, as it keeps no order of its own.
template <class K>
class PushBackVector {
public:
    using Rec = typename K::Rec;
    static constexpr const char *name = "vector_push_back";

    PushBackVector(int recs, int) { v_.reserve(static_cast<std::size_t>(recs)); }
    bool ok() const noexcept { return true; }
    bool insert(const Rec &r) {
        v_.push_back(r);
        return true;
    }
    std::size_t size() const noexcept { return v_.size(); }
    template <class F>
    void for_each(F &&f) const {
        for (const Rec &r : v_) f(r);
    }

private:
    std::vector<Rec, CountingAllocator<Rec>> v_;
};

// A map of key to payload (std::multimap, absl::btree_multimap,
// boost::container::flat_multimap): the record is split into its key and the
// rest, and put together again when handed back.
template <class K, class Map, const char *Name>
class KeyedMap {
public:
    using Rec = typename K::Rec;
    static constexpr const char *name = Name;

    KeyedMap(int, int) {}
    bool ok() const noexcept { return true; }
    bool insert(const Rec &r) {
        m_.emplace(K::key_of(r), K::payload_of(r));
        return true;
    }
    bool find(Rec &q) {
        const auto it = m_.find(K::key_of(q));
        if (it == m_.end()) return false;
        K::assemble(q, it->first, it->second);
        return true;
    }
    bool erase(const Rec &q) {
        const auto it = m_.find(K::key_of(q));
        if (it == m_.end()) return false;
        m_.erase(it);
        return true;
    }
    std::size_t size() const noexcept { return m_.size(); }
    template <class F>
    void for_each(F &&f) const {
        Rec r;
        for (const auto &kv : m_) {
            K::assemble(r, kv.first, kv.second);
            f(r);
        }
    }
    bool load_sorted(const std::vector<Rec> &recs) {
        if constexpr (kReserves) m_.reserve(recs.size());
        for (const Rec &r : recs) m_.emplace_hint(m_.end(), K::key_of(r), K::payload_of(r));
        return true;
    }

private:
    static constexpr bool kReserves = std::is_same_v<
        Map, boost::container::flat_multimap<typename K::Key, typename K::Payload, typename K::Less,
                                             CountingAllocator<std::pair<typename K::Key, typename K::Payload>>>>;
    Map m_;
};

inline constexpr char kMultimapName[] = "std_multimap";
inline constexpr char kBtreeName[] = "absl_btree";
inline constexpr char kFlatName[] = "boost_flat";

template <class K>
using StdMultimap = KeyedMap<
    K,
    std::multimap<typename K::Key, typename K::Payload, typename K::Less,
                  CountingAllocator<std::pair<const typename K::Key, typename K::Payload>>>,
    kMultimapName>;

template <class K>
using AbslBtree = KeyedMap<
    K,
    absl::btree_multimap<typename K::Key, typename K::Payload, typename K::Less,
                         CountingAllocator<std::pair<const typename K::Key, typename K::Payload>>>,
    kBtreeName>;

template <class K>
using BoostFlat = KeyedMap<
    K,
    boost::container::flat_multimap<typename K::Key, typename K::Payload, typename K::Less,
                                    CountingAllocator<std::pair<typename K::Key, typename K::Payload>>>,
    kFlatName>;

}  // namespace bench

#endif
