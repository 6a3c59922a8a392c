// The records every contestant stores, their keys, and the data sets the
// workloads replay: one set of distinct keys per record kind and count, with
// the insertion, lookup and deletion orders fixed once, so that every
// contestant does exactly the same work.
#ifndef MORVANE_BENCH_RECORDS_H
#define MORVANE_BENCH_RECORDS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "morvane.h"

namespace bench {

// A record is its key followed by its payload, with no padding. The first
// four payload bytes are a tag derived from the record's index: the checks
// sum the tags a contestant hands back and compare with the expected sum.
template <std::size_t N>
struct Bytes {
    unsigned char b[N];
};

struct Rec16 {
    std::int32_t key;
    unsigned char pay[12];
};
struct Rec64 {
    std::int32_t key;
    unsigned char pay[60];
};
struct RecText {
    char key[16];
    unsigned char pay[16];
};
static_assert(sizeof(Rec16) == 16 && sizeof(Rec64) == 64 && sizeof(RecText) == 32);

// A text key of at most 16 bytes, ordered as strncmp orders it.
struct TextKey {
    char s[16];
};

// Functions the compiler cannot see through (opaque.cpp), so that a call
// of them stays a real indirect call.
// The comparison of 4-byte integer keys a caller hands to a KEY_USER table,
// and through which the baseline of such tables compares too.
extern TableCompareFn g_user_compare;
// A function returning a stored integer: the baseline of a trivial call.
extern int (*g_stored_count)(int);
void set_stored_count(int n);

struct IntKeyTraits {
    using Key = std::int32_t;
    // The record's key against a key, read where the record lies.
    static Key read(const void *rec) noexcept {
        Key k;
        std::memcpy(&k, rec, sizeof k);
        return k;
    }
    static bool rec_less(const void *rec, Key k) noexcept { return read(rec) < k; }
    static bool rec_equal(const void *rec, Key k) noexcept { return read(rec) == k; }
    static constexpr int ktyp = KEY_INT;
    static std::intptr_t ftyp() noexcept { return 4; }
    struct Less {
        bool operator()(Key a, Key b) const noexcept { return a < b; }
    };
    static bool equal(Key a, Key b) noexcept { return a == b; }
};

struct TextKeyTraits {
    using Key = TextKey;
    static bool rec_less(const void *rec, const Key &k) noexcept {
        return std::strncmp(static_cast<const char *>(rec), k.s, sizeof k.s) < 0;
    }
    static bool rec_equal(const void *rec, const Key &k) noexcept {
        return std::strncmp(static_cast<const char *>(rec), k.s, sizeof k.s) == 0;
    }
    static constexpr int ktyp = KEY_STRING;
    static std::intptr_t ftyp() noexcept { return sizeof(TextKey); }
    struct Less {
        bool operator()(const Key &a, const Key &b) const noexcept {
            return std::strncmp(a.s, b.s, sizeof a.s) < 0;
        }
    };
    static bool equal(const Key &a, const Key &b) noexcept {
        return std::strncmp(a.s, b.s, sizeof a.s) == 0;
    }
};

// 4-byte integer keys in the caller's comparison, called through a pointer
// by the table and by every contestant alike.
struct UserKeyTraits : IntKeyTraits {
    static bool rec_less(const void *rec, Key k) noexcept { return g_user_compare(rec, &k) < 0; }
    static bool rec_equal(const void *rec, Key k) noexcept { return g_user_compare(rec, &k) == 0; }
    static constexpr int ktyp = KEY_USER;
    static std::intptr_t ftyp() noexcept { return reinterpret_cast<std::intptr_t>(g_user_compare); }
};

// What a workload needs to know of a record type: its key type and order,
// its payload, and how to take a record apart and put it together again.
template <class RecT, class KeyTraits, const char *Name>
struct Kind : KeyTraits {
    using Rec = RecT;
    using Key = typename KeyTraits::Key;
    using Payload = Bytes<sizeof(Rec) - sizeof(Key)>;
    static constexpr const char *name = Name;
    static_assert(sizeof(Key) + sizeof(Payload) == sizeof(Rec));

    static Key key_of(const Rec &r) noexcept {
        Key k;
        std::memcpy(&k, &r, sizeof k);
        return k;
    }
    static Payload payload_of(const Rec &r) noexcept {
        Payload p;
        std::memcpy(&p, reinterpret_cast<const unsigned char *>(&r) + sizeof(Key), sizeof p);
        return p;
    }
    static void assemble(Rec &r, const Key &k, const Payload &p) noexcept {
        std::memcpy(&r, &k, sizeof k);
        std::memcpy(reinterpret_cast<unsigned char *>(&r) + sizeof(Key), &p, sizeof p);
    }
    static void set_key(Rec &r, const Key &k) noexcept { std::memcpy(&r, &k, sizeof k); }
    static std::uint32_t tag(const Rec &r) noexcept {
        std::uint32_t t;
        std::memcpy(&t, reinterpret_cast<const unsigned char *>(&r) + sizeof(Key), sizeof t);
        return t;
    }
    static bool less(const Key &a, const Key &b) noexcept { return typename KeyTraits::Less{}(a, b); }
};

inline constexpr char kRec16Name[] = "rec16";
inline constexpr char kRec64Name[] = "rec64";
inline constexpr char kTextName[] = "text32";
inline constexpr char kUserName[] = "user16";

using K16 = Kind<Rec16, IntKeyTraits, kRec16Name>;
using K64 = Kind<Rec64, IntKeyTraits, kRec64Name>;
using KText = Kind<RecText, TextKeyTraits, kTextName>;
using KUser = Kind<Rec16, UserKeyTraits, kUserName>;

// A bijection of 32-bit values with good mixing: distinct inputs give
// distinct, evenly spread keys of both signs.
inline std::uint32_t mix32(std::uint32_t x) noexcept {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Record number i of a data set: its key and payload follow from i alone.
template <class K>
typename K::Rec make_record(std::uint32_t i) noexcept {
    typename K::Rec r;
    const std::uint32_t tag = mix32(2 * i + 1);
    auto *pay = reinterpret_cast<unsigned char *>(&r) + sizeof(typename K::Key);
    for (std::size_t j = 0; j < sizeof(typename K::Payload); ++j)
        pay[j] = static_cast<unsigned char>(tag >> (8 * (j % 4)));
    if constexpr (std::is_same_v<typename K::Key, TextKey>) {
        // 8 hex digits that make the key distinct, 7 more, then the NUL.
        static const char hex[] = "0123456789abcdef";
        const std::uint32_t a = mix32(i + 0x9e3779b9U), b = mix32(i ^ 0x5bd1e995U);
        for (int d = 0; d < 8; ++d) r.key[d] = hex[(a >> (28 - 4 * d)) & 15U];
        for (int d = 0; d < 7; ++d) r.key[8 + d] = hex[(b >> (24 - 4 * d)) & 15U];
        r.key[15] = '\0';
    } else {
        r.key = static_cast<std::int32_t>(mix32(i + 0x9e3779b9U));
    }
    return r;
}

// A fixed shuffle: the same permutation on every run and every contestant.
inline std::vector<std::uint32_t> permutation(std::size_t n, std::uint64_t seed) {
    std::vector<std::uint32_t> p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint32_t>(i);
    std::mt19937_64 rng(seed);
    for (std::size_t i = n; i > 1; --i) std::swap(p[i - 1], p[rng() % i]);
    return p;
}

// Counts over sorted ranks, to know where each insertion or deletion lands.
class Fenwick {
public:
    explicit Fenwick(std::size_t n) : t_(n + 1, 0) {}
    void add(std::size_t i, int v) {
        for (++i; i < t_.size(); i += i & (~i + 1)) t_[i] += v;
    }
    int before(std::size_t i) const {  // sum over ranks below i
        int s = 0;
        for (; i > 0; i -= i & (~i + 1)) s += t_[i];
        return s;
    }

private:
    std::vector<int> t_;
};

// A key to look up and the tag of the record it must find.
template <class K>
struct Probe {
    typename K::Key key;
    std::uint32_t tag;
};

// Lookups draw this many present keys at random (at least one per record):
// a sequence too long for a branch predictor to learn, whatever the count.
inline constexpr std::size_t kMinProbes = std::size_t{1} << 20;

// Above this count only lookups run: the data set has no deletion order and
// no insertion positions.
inline constexpr std::size_t kLookupOnlyAbove = 1000000;

template <class K>
struct DataSet {
    using Rec = typename K::Rec;
    std::size_t n = 0;
    std::vector<Rec> input;    // insertion order (random)
    std::vector<Rec> sorted;   // ascending key order
    std::vector<Probe<K>> lookups;  // present keys in random order
    std::vector<Rec> deletes;  // every record once, in another random order
    // Slot each insertion of `input` lands in, and slot each deletion of
    // `deletes` empties, in a table that holds the records so far.
    std::vector<std::uint32_t> insert_pos, delete_pos;
    std::uint64_t tag_sum = 0;  // of all records
};

template <class K>
std::unique_ptr<DataSet<K>> make_data_set(std::size_t n) {
    auto d = std::make_unique<DataSet<K>>();
    d->n = n;
    const auto order = permutation(n, 0x6d6f7276 + n);
    d->input.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        d->input.push_back(make_record<K>(order[i]));
        d->tag_sum += K::tag(d->input.back());
    }
    // Rank of each input record in key order.
    std::vector<std::uint32_t> by_key(n);
    for (std::size_t i = 0; i < n; ++i) by_key[i] = static_cast<std::uint32_t>(i);
    std::sort(by_key.begin(), by_key.end(), [&](std::uint32_t a, std::uint32_t b) {
        return K::less(K::key_of(d->input[a]), K::key_of(d->input[b]));
    });
    std::vector<std::uint32_t> rank(n);
    d->sorted.reserve(n);
    for (std::size_t r = 0; r < n; ++r) {
        rank[by_key[r]] = static_cast<std::uint32_t>(r);
        d->sorted.push_back(d->input[by_key[r]]);
    }
    if (n > kLookupOnlyAbove) {
        for (const auto i : permutation(n, 0x6c6f6f6b + n))
            d->lookups.push_back({K::key_of(d->input[i]), K::tag(d->input[i])});
        return d;
    }
    Fenwick present(n);
    d->insert_pos.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        d->insert_pos.push_back(static_cast<std::uint32_t>(present.before(rank[i])));
        present.add(rank[i], 1);
    }
    // Every record once, then random draws up to the minimum length.
    for (const auto i : permutation(n, 0x6c6f6f6b + n))
        d->lookups.push_back({K::key_of(d->input[i]), K::tag(d->input[i])});
    std::mt19937_64 draw(0x64726177 + n);
    while (d->lookups.size() < kMinProbes) {
        const auto &r = d->input[draw() % n];
        d->lookups.push_back({K::key_of(r), K::tag(r)});
    }
    d->delete_pos.reserve(n);
    for (const auto i : permutation(n, 0x64656c65 + n)) {
        d->deletes.push_back(d->input[i]);
        d->delete_pos.push_back(static_cast<std::uint32_t>(present.before(rank[i])));
        present.add(rank[i], -1);
    }
    return d;
}

// Data sets are made once per kind and count and shared by all contestants.
template <class K>
const DataSet<K> &data_set(std::size_t n) {
    static std::map<std::size_t, std::unique_ptr<DataSet<K>>> cache;
    auto &slot = cache[n];
    if (!slot) slot = make_data_set<K>(n);
    return *slot;
}

}  // namespace bench

#endif
