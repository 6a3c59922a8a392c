// Key comparison of a record with the caller's key, one type per key kind.
// Each has
//   for_key(key):      the comparison for one search of the caller's key;
//   compare(rec, key): negative, zero or positive as the record's key sorts
//                      before, equal to or after the caller's key;
//   status(rec, key):  the same sign, with the value the trace reports;
//   trace(rec, key):   the key line of the trace (level 3).
// Keys are read from the first bytes of the record and of the buffer in the
// platform's byte order, whatever their alignment. Private to the library.
#ifndef MORVANE_STORE_KEYS_H
#define MORVANE_STORE_KEYS_H

#include <climits>
#include <cstdint>
#include <cstring>

#include "morvane.h"
#include "platform/compiler.h"
#include "platform/diag.h"

namespace morvane::store {

template <typename T>
inline T load(const char *p) noexcept {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Signed integer keys of 1, 2 or 4 bytes.
template <typename T>
struct IntKey {
    static_assert(sizeof(T) <= 4);
    const char *name;  // key line tag: "int1", "int2" or "int4"

    const IntKey &for_key(const char *) const noexcept { return *this; }

    int compare(const char *rec, const char *key) const noexcept {
        const T a = load<T>(rec), b = load<T>(key);
        return (a > b) - (a < b);
    }
    int status(const char *rec, const char *key) const noexcept {
        // The exact difference where it fits in 32 bits, else its sign.
        const std::int64_t diff = std::int64_t{load<T>(rec)} - std::int64_t{load<T>(key)};
        if (diff > INT_MAX) return 1;
        if (diff < INT_MIN) return -1;
        return static_cast<int>(diff);
    }
    void trace(const char *rec, const char *key) const noexcept {
        platform::diag_printf("find_record - %s - tkey %d  rkey %d\n", name, int{load<T>(rec)},
                              int{load<T>(key)});
    }
};

// Texts of at most `length` bytes, compared as strncmp does with unsigned
// bytes; the status is the difference of the first differing byte pair.
// A caller's key that is only searched for may end at its NUL (a C host
// passes a string literal), and no byte after that NUL is read. Eight bytes
// at a time are read only within the first `word_bytes` bytes of the key:
// up to its NUL for a key bound by for_key, and all `length` bytes where
// the key lies in a whole record (a slot, or a record a caller stores); the
// bytes after those go one at a time.
struct StringKey {
    int length;
    int word_bytes;

    explicit StringKey(int len) noexcept : length(len), word_bytes(len) {}

    // The comparison for one search of the caller's `key`: its bytes up to
    // and with its NUL, or all `length` bytes when it has none.
    StringKey for_key(const char *key) const noexcept {
        StringKey bound(length);
        const int text = static_cast<int>(strnlen(key, static_cast<std::size_t>(length)));
        bound.word_bytes = text < length ? text + 1 : length;
        return bound;
    }

    // The sign of strncmp, eight bytes at a time: a word is done with when
    // the texts agree on it and the record's text does not end in it.
    int compare(const char *rec, const char *key) const noexcept {
        int i = 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
        for (; i + 8 <= word_bytes; i += 8) {
            const auto a = load<std::uint64_t>(rec + i), b = load<std::uint64_t>(key + i);
            // Bits in the bytes that differ, and the high bit of the
            // record's NUL bytes: the lowest set bit is in the first byte
            // where the comparison stops (the NUL test can mark bytes only
            // above a true NUL).
            const std::uint64_t stop = (a ^ b) | ((a - kOnes) & ~a & kHighs);
            if (stop != 0) {
                const int at = i + MORVANE_CTZ64(stop) / 8;
                return static_cast<unsigned char>(rec[at]) - static_cast<unsigned char>(key[at]);
            }
        }
#endif
        return status_from(rec, key, i);
    }
    int status(const char *rec, const char *key) const noexcept { return status_from(rec, key, 0); }
    // The byte-by-byte comparison from byte `i` on, the texts being equal
    // and unended before it.
    int status_from(const char *rec, const char *key, int i) const noexcept {
        for (; i < length; ++i) {
            const auto a = static_cast<unsigned char>(rec[i]);
            const auto b = static_cast<unsigned char>(key[i]);
            if (a != b) return a - b;
            if (a == 0) break;
        }
        return 0;
    }
    void trace(const char *rec, const char *key) const noexcept {
        platform::diag_printf("find_record - string - tkey '%.*s'  rkey '%.*s'\n", length, rec,
                              length, key);
    }
};

// The caller's comparison; the trace has no key line for it.
struct UserKey {
    TableCompareFn fn;

    int compare(const char *rec, const char *key) const { return fn(rec, key); }
    int status(const char *rec, const char *key) const { return fn(rec, key); }
    void trace(const char *, const char *) const noexcept {}
};

}  // namespace morvane::store

#endif
