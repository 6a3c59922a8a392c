// morvane.hpp - C++17 interface to the sorted tables of morvane.h.
//
// Header-only: everything here is inline code over the C operations of
// morvane.h, so a program links the same libmorvane.so as a C program does.
//
//   struct Order { std::int32_t price; std::int32_t quantity; };
//   morvane::Table<Order, &Order::price> book(morvane::Mode::duplicates);
//   book.insert({101, 5});
//   for (const Order &o : book) { ... }                   // in key order
//   auto [first, last] = book.equal_range(101);           // the run of 101
//
// Records. `Record` is a trivially copyable type whose key is its first data
// member, named by `Key` (a pointer to that member). The key type decides how
// the table orders its records:
//   - std::int8_t, std::int16_t, std::int32_t: signed integer keys;
//   - char[N]: texts of at most N bytes, compared like strncmp over N bytes
//     (a text of N bytes needs no terminating NUL); a longer text given as a
//     key is refused (Misuse::key_too_long), never matched by its prefix;
//   - any other trivially copyable type, or any key the caller wants ordered
//     differently: a comparison given as the third template argument, a plain
//     function `int compare(const K &a, const K &b)` returning a negative,
//     zero or positive value as `a` sorts before, equal to or after `b`. It
//     must not throw and must not call the library.
// Anything else stops the build with one message naming what is needed.
//
// Walks. Every iterator has a place of its own: the record it holds (a copy)
// and, in a duplicates table, its rank in the run of its key. The library
// keeps one current position per table; an iterator that finds it moved by
// another call through the same Table since its own last step puts it back
// before stepping (a key search, then, among equal keys, a walk along the
// run). So walks nest, keyed calls can be made inside a walk, and an
// undisturbed walk steps as fast as the C walk does. backward() walks from
// the last record to the first and ends there.
// Calls made straight to the C functions on the same table are not seen:
// after one, the table's iterators are invalid. An iterator belongs to its
// Table object: moving the Table invalidates it.
//
// Edits during a walk, through the same Table:
//
//   call                              | iterators of that table
//   ----------------------------------+-----------------------------------------
//   lookups, other walks, size()      | stay valid
//   set(r), replace(it, r)            | stay valid (the key is unchanged; a walk
//                                     | shows the new bytes when it reaches them)
//   erase(it)                         | returns the iterator after the erased
//                                     | record, in its direction; for the
//                                     | others, as erase(key)
//   insert(r), erase(key)             | unique table: stay valid; an iterator on
//   insert_or_assign(r)               | an erased record steps past it.
//                                     | Duplicates table: iterators into the
//                                     | run of that key are invalid
//   clear(), moving the Table         | all invalid
//
// A walk in progress need not see records inserted after it started. No call
// made inside a walk makes it loop forever or writes a record other than the
// one the call names. An invalid iterator that the layer can tell from a
// valid one (its run no longer holds its rank, an end iterator, one of
// another table) is refused with Misuse::stale_iterator.
//
// Equal keys. In a duplicates table get(key), find(key), set(r) and
// erase(key) act on the first record of the run; insert(r) puts the new
// record somewhere in its run (where the library's key search meets it).
//
// Errors. The library's own failures (out of memory, for instance) show in
// results and in its sticky code, read with last_error(). The layer's own
// refusals (Misuse) never touch that code and write no warning line: they
// throw usage_error, or, built without exceptions, make the call fail as it
// does when nothing is found and are kept in Table::misuse().
//
// Growth. Storage starts at `initial` records (default 100) and grows by
// `grow` records (default: as many as fit in 1 MiB, less the initial 100;
// for 16-byte records 65436), so a small table holds at most 1 MiB while
// long runs of appends grow rarely. A capacity hint (`initial`) sizes the
// table once.
//
// Library-wide state. The tables, the error code and the trace level are
// shared by every module of the process, and calls must be serialised: a
// Table is no more thread-safe than the C operations it calls.
#ifndef MORVANE_HPP
#define MORVANE_HPP

#if !defined(__cplusplus) || (__cplusplus < 201703L && (!defined(_MSVC_LANG) || _MSVC_LANG < 201703L))
#error "morvane.hpp needs C++17 or later (-std=c++17); C code includes morvane.h"
#else

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "morvane.h"

namespace morvane {

// The library's error codes, as recorded in its sticky error code: the
// identifiers of MORVANE_ERRORS in morvane.h.
enum class Error : int {
#define MORVANE_ERROR_ENUMERATOR(code, identifier, meaning) identifier = code,
    MORVANE_ERRORS(MORVANE_ERROR_ENUMERATOR, MORVANE_ERROR_ENUMERATOR)
#undef MORVANE_ERROR_ENUMERATOR
};

// Whether a table refuses or keeps a second record with an equal key.
enum class Mode : int {
    unique = KEY_UNIQUE,          // add() of an existing key returns false
    duplicates = KEY_DUPLICATES,  // equal keys are kept next to each other
};

// The library's trace levels (lines written on standard error).
enum class Trace : int {
    off = 0,          // only the warning lines of recorded errors
    calls = 1,        // plus the entry and exit line of each call
    definitions = 2,  // plus the table's stored definition around each call
    internals = 3,    // plus the lines of the internal routines
};

// A short English description of `code`.
inline const char *describe(Error code) noexcept {
    switch (code) {
#define MORVANE_ERROR_MEANING(code, identifier, meaning) \
    case Error::identifier: return meaning;
        MORVANE_ERRORS(MORVANE_ERROR_MEANING, MORVANE_ERROR_MEANING)
#undef MORVANE_ERROR_MEANING
    }
    return "unknown error";
}

// The library's sticky error code, read without changing it and without
// writing its warning line again (at trace level 1 or more the read shows in
// the trace like any call).
inline Error last_error() noexcept {
    // An out-of-range code stores nothing and writes no warning: a pure read.
    return static_cast<Error>(tableErr(-1));
}

// Resets the sticky error code to Error::none; returns the code it replaced.
inline Error clear_error() noexcept { return static_cast<Error>(tableErr(TERR_NONE)); }

// Sets the library's trace level for every table of the process.
inline void set_trace(Trace level) noexcept { tableSetDebug(static_cast<int>(level)); }

// Thrown by the Table constructor when the library cannot make the table.
class table_error : public std::runtime_error {
public:
    // An error carrying the library's `code`.
    explicit table_error(Error code)
        : std::runtime_error(std::string("morvane: cannot create table: ") + describe(code) +
                             " (code " + std::to_string(static_cast<int>(code)) + ")"),
          code_(code) {}

    // The library's code for the failure.
    Error code() const noexcept { return code_; }

private:
    Error code_;
};

// The outcome of a non-throwing creation: a value, or the library's code.
template <typename T>
class Result {
public:
    // A successful outcome holding `value`.
    Result(T &&value) noexcept(std::is_nothrow_move_constructible_v<T>)
        : value_(std::move(value)), error_(Error::none) {}

    // A failed outcome with the library's `code`.
    Result(Error code) noexcept : error_(code) {}

    // Whether the outcome holds a value.
    bool has_value() const noexcept { return value_.has_value(); }

    // Same as has_value().
    explicit operator bool() const noexcept { return value_.has_value(); }

    // The value; only when has_value().
    T &operator*() & noexcept { return *value_; }

    // The value, to be moved out; only when has_value().
    T &&operator*() && noexcept { return std::move(*value_); }

    // Member access to the value; only when has_value().
    T *operator->() noexcept { return &*value_; }

    // Error::none when the outcome holds a value, else the library's code.
    Error error() const noexcept { return error_; }

private:
    std::optional<T> value_;
    Error error_;
};

// The C++ layer's own refusals. They are never recorded in the library's
// sticky error code and write no warning line.
enum class Misuse : int {
    none = 0,
    key_too_long,    // a text key longer than the table's key field
    key_changed,     // replace() with a record whose key differs
    stale_iterator,  // an end iterator, one of another table, or one whose
                     // run of equal keys no longer holds its place
};

// A short English description of `code`.
inline const char *describe(Misuse code) noexcept {
    switch (code) {
        case Misuse::none: return "no misuse";
        case Misuse::key_too_long: return "text key longer than the key field";
        case Misuse::key_changed: return "replacement changes the record's key";
        case Misuse::stale_iterator: return "iterator no longer names a record";
    }
    return "unknown misuse";
}

// Thrown by the C++ layer when it refuses a call (see Misuse).
class usage_error : public std::logic_error {
public:
    explicit usage_error(Misuse code)
        : std::logic_error(std::string("morvane: ") + describe(code)), code_(code) {}

    // What was refused.
    Misuse code() const noexcept { return code_; }

private:
    Misuse code_;
};

namespace detail {

template <typename M>
struct member_pointer;

template <typename C, typename M>
struct member_pointer<M C::*> {
    using owner = C;
    using type = M;
};

// Whether `member` is at offset 0 of R, decided during compilation: the
// address of the member of an unconstructed R inside a union is compared with
// the address of that R. No R is ever constructed. Only tried on records that
// passed the other checks, so that a wrong record gets their message alone.
template <typename R, typename M, bool Try>
struct first_member {
    static constexpr bool at_offset_zero(M R::*) { return true; }
};

template <typename R, typename M>
struct first_member<R, M, true> {
    union Probe {
        char none;
        R record;
        constexpr Probe() : none() {}
    };
    static constexpr Probe probe{};
    static constexpr bool at_offset_zero(M R::*member) {
        return static_cast<const void *>(&(probe.record.*member)) ==
               static_cast<const void *>(&probe.record);
    }
};

template <typename K>
inline constexpr bool is_char_type_v =
    std::is_same_v<K, char> || std::is_same_v<K, wchar_t> || std::is_same_v<K, char16_t> ||
    std::is_same_v<K, char32_t>;

// A signed integer key of 1, 2 or 4 bytes (plain character types excluded:
// their signedness differs between platforms).
template <typename K>
inline constexpr bool is_int_key_v = std::is_integral_v<K> && std::is_signed_v<K> &&
                                     !is_char_type_v<K> &&
                                     (sizeof(K) == 1 || sizeof(K) == 2 || sizeof(K) == 4);

// A fixed text key: char[N].
template <typename K>
inline constexpr bool is_text_key_v =
    std::is_array_v<K> && std::rank_v<K> == 1 && std::is_same_v<std::remove_extent_t<K>, char>;

template <typename R>
inline constexpr bool is_literal_record_v =
#if defined(__clang__)
    __is_literal_type(R);
#else
    true;
#endif

}  // namespace detail

// A table of `Record`s kept in the order of the key member `Key`, optionally
// with the caller's comparison `Compare` (see the top of this header). The
// table is made by a constructor or by create() and freed by the destructor;
// it can be moved, not copied. A moved-from Table holds no table: its calls
// fail like calls with an invalid id (Error::bad_id).
template <typename Record, auto Key, auto Compare = nullptr>
class Table {
    static_assert(std::is_member_object_pointer_v<decltype(Key)>,
                  "morvane::Table: the key must be given as a pointer to a data member, "
                  "e.g. &Record::key");
    using KeyOwner = typename detail::member_pointer<decltype(Key)>::owner;
    static_assert(std::is_same_v<KeyOwner, Record>,
                  "morvane::Table: the key must be a data member of the record type itself");

public:
    using value_type = Record;
    using size_type = std::size_t;
    // The type of the key member.
    using key_type = typename detail::member_pointer<decltype(Key)>::type;

private:
    static constexpr bool kUser = !std::is_same_v<decltype(Compare), std::nullptr_t>;
    static constexpr bool kInt = !kUser && detail::is_int_key_v<key_type>;
    static constexpr bool kText = !kUser && detail::is_text_key_v<key_type>;

    static_assert(kUser || kInt || kText,
                  "morvane::Table: supported key types are std::int8_t, std::int16_t, "
                  "std::int32_t and char[N]; any other key needs a comparison function "
                  "as the third template argument");
    // Each check below assumes the ones above passed, so that a wrong record
    // gets one message.
    static constexpr bool kKeyed = kUser || kInt || kText;
    static_assert(!kKeyed || std::is_trivially_copyable_v<Record>,
                  "morvane::Table: the record type must be trivially copyable");
    static_assert(!kKeyed || std::is_default_constructible_v<Record>,
                  "morvane::Table: the record type must be default constructible");
    static_assert(sizeof(Record) <= INT_MAX, "morvane::Table: the record type is too large");
    static constexpr bool kPlain = kKeyed &&
                                   std::is_trivially_copyable_v<Record> &&
                                   std::is_default_constructible_v<Record>;
    static_assert(!kPlain || detail::is_literal_record_v<Record>,
                  "morvane::Table: with clang the record type must be a literal type "
                  "(an aggregate, for instance) so that the key's offset can be checked");
    static_assert(detail::first_member<Record, key_type,
                                       (kPlain && detail::is_literal_record_v<Record>)>::
                      at_offset_zero(Key),
                  "morvane::Table: the key must be the first member of the record (offset 0)");
    static_assert(!kUser || std::is_pointer_v<decltype(Compare)>,
                  "morvane::Table: the comparison must be a plain function");
    static_assert(!kUser || std::is_invocable_r_v<int, decltype(Compare), const key_type &,
                                                  const key_type &>,
                  "morvane::Table: the comparison must be callable as "
                  "int(const key_type &, const key_type &)");

public:
    // The default growth step: as many records as fit in 1 MiB, less the
    // first MORVANE_MIN_RECS (at least MORVANE_MIN_RINC), so that a table of
    // up to that many records holds at most 1 MiB.
    static constexpr int default_grow =
        (1u << 20) / sizeof(Record) < MORVANE_MIN_RECS + MORVANE_MIN_RINC
            ? MORVANE_MIN_RINC
            : static_cast<int>((1u << 20) / sizeof(Record)) - MORVANE_MIN_RECS;

    // A text key for a char[N] key: at most N bytes. From a char array it
    // reads up to the first NUL or the array's end, so a full key field needs
    // no NUL. A longer text is refused by the call it is given to.
    class text {
    public:
        text(std::string_view s) noexcept : s_(s) {}
        text(const std::string &s) noexcept : s_(s) {}
        template <std::size_t M>
        text(const char (&a)[M]) noexcept : s_(a, length(a, M)) {}
        // A NUL-terminated text.
        template <typename P, std::enable_if_t<std::is_same_v<P, const char *> ||
                                                   std::is_same_v<P, char *>,
                                               int> = 0>
        text(P s) noexcept : s_(s) {}
        std::string_view view() const noexcept { return s_; }

    private:
        static std::size_t length(const char *a, std::size_t most) noexcept {
            std::size_t n = 0;
            while (n < most && a[n] != '\0') ++n;
            return n;
        }
        std::string_view s_;
    };

    // How a key is passed: by value for integers, as text for char arrays,
    // by reference otherwise.
    using key_arg =
        std::conditional_t<kText, text, std::conditional_t<kInt, key_type, const key_type &>>;

    class iterator;
    using const_iterator = iterator;

    // A pair of iterators usable both in a range-for and as
    // `auto [first, last] = ...`.
    struct range {
        iterator first, second;
        iterator begin() const noexcept { return first; }
        iterator end() const noexcept { return second; }
    };

    // Makes an empty table whose storage starts with room for `initial`
    // records (at least MORVANE_MIN_RECS) and grows by `grow` records (at
    // least MORVANE_MIN_RINC).
    // Throws table_error with the library's code when it cannot.
#if defined(__cpp_exceptions)
    explicit Table(Mode mode = Mode::unique, int initial = MORVANE_MIN_RECS,
                   int grow = default_grow)
        : id_(make(mode, initial, grow)), mode_(mode) {
        if (id_ < 0) throw table_error(last_error());
    }

    // Makes a table holding the records of [first, last), sorted or not,
    // sizing its storage once. In a unique table the first of equal keys in
    // the input wins; in a duplicates table equal keys keep their input
    // order. Throws table_error with the library's code when it cannot.
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    Table(It first, It last, Mode mode = Mode::unique)
        : id_(load(first, last, mode)), mode_(mode) {
        if (id_ < 0) throw table_error(last_error());
    }
#endif

    // Makes an empty table as the constructor does, without throwing: the
    // result holds the table or the library's code.
    static Result<Table> create(Mode mode = Mode::unique, int initial = MORVANE_MIN_RECS,
                                int grow = default_grow) noexcept {
        const int id = make(mode, initial, grow);
        if (id < 0) return Result<Table>(last_error());
        return Result<Table>(Table(id, mode));
    }

    // Makes a loaded table as the range constructor does, without throwing
    // (but for std::bad_alloc from the sorting buffer).
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    static Result<Table> create(It first, It last, Mode mode = Mode::unique) {
        const int id = load(first, last, mode);
        if (id < 0) return Result<Table>(last_error());
        return Result<Table>(Table(id, mode));
    }

    // Frees the table and every record in it.
    ~Table() { reset(); }

    // Takes over `other`'s table; `other` is left holding none.
    Table(Table &&other) noexcept
        : id_(std::exchange(other.id_, -1)), mode_(other.mode_), moves_(other.moves_ + 1) {}

    // Frees this table, then takes over `other`'s.
    Table &operator=(Table &&other) noexcept {
        if (this != &other) {
            reset();
            id_ = std::exchange(other.id_, -1);
            mode_ = other.mode_;
            ++moves_;
        }
        return *this;
    }

    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // The table id for the C operations of morvane.h, or -1 when this Table
    // holds none.
    int id() const noexcept { return id_; }

    // Whether the table keeps equal keys.
    Mode mode() const noexcept { return mode_; }

    // The last refusal of this Table's calls (Misuse::none if none), for
    // programs built without exceptions.
    Misuse misuse() const noexcept { return misuse_; }

    // The number of records (0 when this Table holds none).
    size_type size() const noexcept {
        const int n = tableCount(id_);
        return n < 0 ? 0 : static_cast<size_type>(n);
    }

    // Whether the table holds no record.
    bool empty() const noexcept { return size() == 0; }

    // Deletes every record; the storage keeps its size.
    void clear() noexcept {
        moved();
        while (tableDel(id_, REC_LAST, nullptr) == 1) {
        }
    }

    // Writes the table's stored definition on standard error.
    void print() const noexcept { tablePrint(id_); }

    // Inserts a copy of `record` in key order. False when the key is already
    // in a unique table (no error code) or the storage could not grow
    // (Error::no_memory; the table is unchanged).
    bool insert(const Record &record) noexcept {
        moved();
        return tableAdd(id_, &record) == 1;
    }

    // Same as insert().
    bool add(const Record &record) noexcept { return insert(record); }

    // Replaces the record with `record`'s key (the first of its run) by
    // `record`, or inserts `record` when the key is absent. Returns an
    // iterator on it and true when it was inserted; the end and false when
    // the storage could not grow.
    std::pair<iterator, bool> insert_or_assign(const Record &record) noexcept {
        if (set(record)) {
            // In a duplicates table set() leaves the position after the record.
            if (mode_ == Mode::duplicates) tableSeek(id_, REC_PREV, nullptr);
            return {on_current(), false};
        }
        if (!insert(record)) return {end(), false};
        // A new key: its run is the new record alone.
        return {on_current(), true};
    }

    // Replaces the record whose key equals `record`'s key (the first of its
    // run) by `record`. False when the key is absent.
    bool set(const Record &record) noexcept {
        if (mode_ == Mode::unique) {
            moved();
            return tableSet(id_, &record) == 1;
        }
        return seek_first(record) && tableUpdate(id_, &record) == 1;
    }

    // Replaces the record `it` points at by `record`, which must have the
    // same key (else Misuse::key_changed); `it` then holds `record`.
    bool replace(iterator &it, const Record &record) {
        if (compare_keys(it.record_, record) != 0) return refuse(Misuse::key_changed);
        if (place(it) != Where::on) return refuse(Misuse::stale_iterator);
        if (tableUpdate(id_, &record) != 1) return false;
        it.record_ = record;
        return true;
    }

    // The record with key `key` (the first of its run); nullopt when there
    // is none.
    std::optional<Record> get(key_arg key) const {
        Record buffer{};
        if (!probe(key, buffer) || !seek_first(buffer) || tableGet(id_, REC_CURRENT, &buffer) != 1)
            return std::nullopt;
        return buffer;
    }

    // The first and the last record; nullopt on an empty table.
    std::optional<Record> front() const noexcept { return fetch(REC_FIRST); }
    std::optional<Record> back() const noexcept { return fetch(REC_LAST); }

    // Whether a record has key `key`.
    bool contains(key_arg key) const {
        Record buffer{};
        if (!probe(key, buffer)) return false;
        moved();
        return tableSeek(id_, REC_KEY, &buffer) == 1;
    }

    // The number of records with key `key`.
    size_type count(key_arg key) const {
        if (mode_ == Mode::unique) return contains(key) ? 1 : 0;
        const range run = equal_range(key);
        size_type n = 0;
        for (iterator it = run.first; it != run.second; ++it) ++n;
        return n;
    }

    // Deletes the record with key `key` (the first of its run). False when
    // there is none.
    bool erase(key_arg key) {
        Record buffer{};
        if (!probe(key, buffer)) return false;
        if (mode_ == Mode::unique) {
            moved();
            return tableDel(id_, REC_KEY, &buffer) == 1;
        }
        return seek_first(buffer) && tableDel(id_, REC_CURRENT, nullptr) == 1;
    }

    // Deletes the record `it` points at; returns the iterator that follows
    // it in `it`'s direction.
    iterator erase(const iterator &it) {
        const Where where = place(it);
        if (where != Where::on) return refuse(Misuse::stale_iterator), end();
        // Where the deleted record's neighbours will be: the library moves
        // the position back when the last record goes.
        const bool first = tableAtStart(id_) == 1;
        const bool last = tableSeek(id_, REC_NEXT, nullptr) != 1;
        if (!last) tableSeek(id_, REC_PREV, nullptr);
        if (tableDel(id_, REC_CURRENT, nullptr) != 1) return end();
        iterator next(this, it.backward_);
        if (it.backward_) {
            if (first || tableGet(id_, last ? REC_CURRENT : REC_PREV, &next.record_) != 1)
                return end();
        } else if (last || tableNext(id_, &next.record_) != 1) {
            return end();
        }
        if (mode_ == Mode::duplicates && same_key(next.record_, it.record_)) next.rank_ = it.rank_;
        return stamped(next);
    }

    // The first record whose key is not below `key`.
    iterator lower_bound(key_arg key) const {
        Record buffer{};
        if (!probe(key, buffer)) return end();
        seek_first(buffer);
        return on_current();
    }

    // The first record whose key is above `key`.
    iterator upper_bound(key_arg key) const {
        Record buffer{};
        if (!probe(key, buffer)) return end();
        if (!seek_first(buffer)) return on_current();
        iterator it(this, false);
        do {
            if (tableNext(id_, &it.record_) != 1) return end();
        } while (same_key(it.record_, buffer));
        return stamped(it);
    }

    // The first record with key `key`, or end().
    iterator find(key_arg key) const {
        Record buffer{};
        if (!probe(key, buffer)) return end();
        if (!seek_first(buffer)) return end();
        return on_current();
    }

    // The records with key `key`: [lower_bound(key), upper_bound(key)).
    range equal_range(key_arg key) const {
        range run{lower_bound(key), end()};
        run.second = run.first;
        Record buffer{};
        if (!probe(key, buffer)) return run;
        while (run.second != end() && same_key(*run.second, buffer)) ++run.second;
        return run;
    }

    // The records from the first whose key is not below `key` to the last.
    range from(key_arg key) const { return {lower_bound(key), end()}; }

    // A walk over every record in key order.
    iterator begin() const noexcept {
        moved();
        if (tableSeek(id_, REC_FIRST, nullptr) != 1) return end();
        return on_current();
    }

    // The end of every walk of this table.
    iterator end() const noexcept { return iterator(); }

    // A walk over every record from the last to the first; it ends after the
    // first record.
    range backward() const noexcept {
        iterator it(this, true);
        moved();
        if (tableGet(id_, REC_LAST, &it.record_) != 1) return {end(), end()};
        return {stamped(it), end()};
    }

    // An iterator over a walk of the table. It holds a copy of its record
    // (replace() or set() change the table, not the copy it holds) and keeps
    // its own place (see the top of this header). Iterators are equal when
    // both are at the end, or both name the same record of the same table.
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Record;
        using difference_type = std::ptrdiff_t;
        using pointer = const Record *;
        using reference = const Record &;

        // The end of a walk.
        iterator() = default;

        // The record held.
        reference operator*() const noexcept { return record_; }
        pointer operator->() const noexcept { return &record_; }

        // Steps to the walk's next record.
        iterator &operator++() {
            step();
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            step();
            return before;
        }

        friend bool operator==(const iterator &a, const iterator &b) noexcept {
            return a.same_place(b);
        }
        friend bool operator!=(const iterator &a, const iterator &b) noexcept {
            return !(a == b);
        }

    private:
        friend class Table;

        iterator(const Table *table, bool backward) noexcept : table_(table), backward_(backward) {}

        bool same_place(const iterator &b) const noexcept {
            if (table_ == nullptr || b.table_ == nullptr) return table_ == b.table_;
            return table_ == b.table_ && backward_ == b.backward_ && rank_ == b.rank_ &&
                   same_key(record_, b.record_);
        }

        // Fetches the next record of the walk. Forward, the table's position
        // is left just after the record held, where tableNext reads next;
        // backward, on it, where tableGet(REC_PREV) moves from.
        void step() {
            if (table_ == nullptr) return;
            if (table_->mode_ == Mode::unique) {
                if (!fetch()) table_ = nullptr;
                return;
            }
            const Record before = record_;
            if (!fetch()) {
                table_ = nullptr;
                return;
            }
            rank_ = same_key(before, record_) ? rank_ + 1 : 0;
        }

        bool fetch() {
            const Table &t = *table_;
            if (t.id_ < 0) return t.refuse(Misuse::stale_iterator);
            int got = 0;
            if (stamp_ != t.moves_) {
                const Where where = t.place(*this);
                if (where == Where::refused) return false;
                if (backward_)
                    got = tableGet(t.id_, REC_PREV, &record_);
                else if (where == Where::gone || tableSeek(t.id_, REC_NEXT, nullptr) == 1)
                    got = tableNext(t.id_, &record_);
            } else {
                got = backward_ ? tableGet(t.id_, REC_PREV, &record_) : tableNext(t.id_, &record_);
            }
            stamp_ = ++t.moves_;
            return got == 1;
        }

        const Table *table_ = nullptr;
        Record record_{};
        // Records of its run before it (forward) or after it (backward);
        // always 0 in a unique table.
        int rank_ = 0;
        unsigned long stamp_ = 0;
        bool backward_ = false;
    };

private:
    enum class Where { refused, gone, on };

    Table(int id, Mode mode) noexcept : id_(id), mode_(mode) {}

    static constexpr int key_kind() {
        if constexpr (kUser) return KEY_USER;
        else if constexpr (kInt) return KEY_INT;
        else return KEY_STRING;
    }

    // The comparison handed to the library: the record's key first, the
    // caller's second, as the library passes them. Both addresses are the
    // starts of whole records, where the key lies.
    static int compare_records(const void *record, const void *probe) noexcept {
        return compare_keys(*static_cast<const Record *>(record),
                            *static_cast<const Record *>(probe));
    }

    static std::intptr_t key_field() {
        if constexpr (kUser) return reinterpret_cast<std::intptr_t>(&compare_records);
        else return static_cast<std::intptr_t>(sizeof(key_type));
    }

    static int make(Mode mode, int initial, int grow) noexcept {
        return tableNew(static_cast<int>(sizeof(Record)), key_kind(), static_cast<int>(mode),
                        key_field(), initial, grow);
    }

    // Makes a table holding the records of [first, last): sorts a copy
    // (stably, keeping the input order of equal keys; integer keys by radix,
    // which beats a comparison sort), makes the table with
    // room for all, appends them, and in a duplicates table rewrites the
    // records in that order, since the library places an equal key where its
    // search meets the run. -1 when the library fails (its code recorded).
    template <typename It>
    static int load(It first, It last, Mode mode) {
        std::vector<Record> all(first, last);
        const auto less = [](const Record &a, const Record &b) { return compare_keys(a, b) < 0; };
        if (!std::is_sorted(all.begin(), all.end(), less)) {
            if constexpr (kInt) radix_sort(all);
            else std::stable_sort(all.begin(), all.end(), less);
        }
        const int id = make(mode, static_cast<int>(std::min<std::size_t>(all.size(), INT_MAX)),
                            default_grow);
        if (id < 0) return -1;
        bool equal_keys = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (i > 0 && same_key(all[i - 1], all[i])) {
                equal_keys = true;
                if (mode == Mode::unique) continue;
            }
            if (tableAdd(id, &all[i]) != 1) {
                tableFree(id);
                return -1;
            }
        }
        if (equal_keys && mode == Mode::duplicates) {
            tableSeek(id, REC_FIRST, nullptr);
            for (const Record &record : all) tableUpdate(id, &record);
        }
        return id;
    }

    // Sorts records with integer keys stably, a byte of the key at a time
    // from the lowest (the sign bit flipped, so negative keys come first).
    static void radix_sort(std::vector<Record> &all) {
        std::vector<Record> other(all.size());
        for (unsigned shift = 0; shift < 8 * sizeof(key_type); shift += 8) {
            std::size_t start[257] = {};
            for (const Record &r : all) ++start[digit(r, shift) + 1];
            if (start[digit(all[0], shift) + 1] == all.size()) continue;  // one digit for all
            for (std::size_t d = 0; d < 256; ++d) start[d + 1] += start[d];
            for (const Record &r : all) other[start[digit(r, shift)]++] = r;
            all.swap(other);
        }
    }

    static std::size_t digit(const Record &r, unsigned shift) noexcept {
        using Unsigned = std::make_unsigned_t<key_type>;
        const std::uint32_t bits = static_cast<std::uint32_t>(static_cast<Unsigned>(r.*Key)) ^
                                   (std::uint32_t{1} << (8 * sizeof(key_type) - 1));
        return (bits >> shift) & 0xffu;
    }

    void reset() noexcept {
        if (id_ >= 0) tableFree(id_);
        id_ = -1;
        ++moves_;
    }

    // Records a refusal; throws usage_error when exceptions are on. Returns
    // false for the calls that then fail.
    bool refuse(Misuse code) const {
        misuse_ = code;
#if defined(__cpp_exceptions)
        throw usage_error(code);
#else
        return false;
#endif
    }

    // Notes that the table's position moves, for the iterators.
    void moved() const noexcept { ++moves_; }

    // Fills `buffer` with `key` for the library's key searches; false when a
    // text key does not fit the key field (refused).
    bool probe(key_arg key, Record &buffer) const {
        if constexpr (kText) {
            const std::string_view chars = key.view();
            if (chars.size() > sizeof(key_type)) return refuse(Misuse::key_too_long);
            std::memcpy(&(buffer.*Key), chars.data(), chars.size());
        } else {
            std::memcpy(&(buffer.*Key), &key, sizeof(key_type));
        }
        return true;
    }

    // The keys of two records under the table's order.
    static int compare_keys(const Record &a, const Record &b) noexcept {
        if constexpr (kUser) return Compare(a.*Key, b.*Key);
        else if constexpr (kText) return std::strncmp(a.*Key, b.*Key, sizeof(key_type));
        else return a.*Key < b.*Key ? -1 : (b.*Key < a.*Key ? 1 : 0);
    }

    static bool same_key(const Record &a, const Record &b) noexcept {
        return compare_keys(a, b) == 0;
    }

    std::optional<Record> fetch(int where) const noexcept {
        Record buffer{};
        moved();
        if (tableGet(id_, where, &buffer) != 1) return std::nullopt;
        return buffer;
    }

    // Stamps `it` as the last to have moved the table's position.
    iterator stamped(iterator &it) const noexcept {
        it.stamp_ = ++moves_;
        return it;
    }

    // A forward iterator on the record at the position (the end when the
    // position is past the last record), as the first of its run.
    iterator on_current() const noexcept {
        iterator it(this, false);
        if (tableNext(id_, &it.record_) != 1) return end();
        return stamped(it);
    }

    // Puts the position on the first record with `key`'s key and returns
    // true; false when there is none, with the position where the key would
    // be inserted.
    bool seek_first(const Record &key) const noexcept {
        moved();
        if (tableSeek(id_, REC_KEY, &key) != 1) return false;
        if (mode_ == Mode::unique) return true;
        // The key search may meet the run anywhere: step back to its start.
        Record before{};
        while (tableGet(id_, REC_PREV, &before) == 1) {
            if (!same_key(before, key)) {
                tableSeek(id_, REC_NEXT, nullptr);
                break;
            }
        }
        return true;
    }

    // Puts the position on the record `it` holds: Where::on; Where::gone when
    // its key is no longer in the table (position where it would be
    // inserted); Where::refused for an iterator the layer cannot place.
    Where place(const iterator &it) const {
        if (it.table_ != this) return refuse(Misuse::stale_iterator), Where::refused;
        if (!seek_first(it.record_)) return Where::gone;
        if (mode_ == Mode::unique) return Where::on;
        Record other{};
        if (it.backward_) {
            // To the run's last record, then back by the iterator's rank.
            while (tableGet(id_, REC_NEXT, &other) == 1) {
                if (!same_key(other, it.record_)) {
                    tableSeek(id_, REC_PREV, nullptr);
                    break;
                }
            }
        }
        for (int i = 0; i < it.rank_; ++i) {
            if (tableGet(id_, it.backward_ ? REC_PREV : REC_NEXT, &other) != 1 ||
                !same_key(other, it.record_))
                return refuse(Misuse::stale_iterator), Where::refused;
        }
        return Where::on;
    }

    int id_ = -1;
    Mode mode_ = Mode::unique;
    // Counts the moves of the table's position made through this object;
    // an iterator whose stamp differs puts the position back first.
    mutable unsigned long moves_ = 0;
    mutable Misuse misuse_ = Misuse::none;
};

}  // namespace morvane

#endif  // C++17
#endif  // MORVANE_HPP
