// morvane.hpp - C++17 interface to the sorted tables of morvane.h.
//
// Header-only: everything here is inline code over the C operations of
// morvane.h, so a program links the same libmorvane.so as a C program does.
//
//   struct Order { std::int32_t price; std::int32_t quantity; };
//   morvane::Table<Order, &Order::price> book(morvane::Mode::duplicates);
//   book.add({101, 5});
//   for (const Order &o : book) { ... }            // in key order
//
// Records. `Record` is a trivially copyable type whose key is its first data
// member, named by `Key` (a pointer to that member). The key type decides how
// the table orders its records:
//   - std::int8_t, std::int16_t, std::int32_t: signed integer keys;
//   - char[N]: texts of at most N bytes, compared like strncmp over N bytes
//     (a text of N bytes needs no terminating NUL);
//   - any other trivially copyable type, or any key the caller wants ordered
//     differently: a comparison given as the third template argument, a plain
//     function `int compare(const K &a, const K &b)` returning a negative,
//     zero or positive value as `a` sorts before, equal to or after `b`. It
//     must not throw and must not call the library.
// A record whose key is not its first member (at offset 0), or whose key type
// is none of these without a comparison, does not compile. With clang the
// record must also be a literal type (an aggregate, for instance) for the
// offset to be checked.
//
// One current position. Every table has exactly one current position, kept
// by the library. Every call on the table reads or moves it: the walks (range
// for, from(), equal_range(), backward(), next(), prev(), update()) step it,
// and the keyed calls (add, set, get, seek, erase) move it to the record they
// found or changed, or, when a key is absent, to the place where that key
// would be inserted. So two walks of one table at the same time share one
// position and each sees only part of the records, and a keyed call inside a
// walk moves the walk: a forward walk's next step returns the record the
// keyed call left the position on, and carries on from there. Inside a
// forward walk the position is just behind the record in hand: erase() of
// that record leaves the position on its follower, which the walk returns
// next (but when the erased record was the last one, the position goes back
// to the new last record, which the walk then returns once more); get() or
// set() of the record in hand puts the position back on it, so the walk
// returns it once more.
//
// Library-wide state. The tables, the error code and the trace level are
// shared by every module of the process, and calls must be serialised: a
// Table is no more thread-safe than the C operations it calls.
#ifndef MORVANE_HPP
#define MORVANE_HPP

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

// The record selectors of get(), seek() and erase(), besides a key.
enum class Select : int {
    first = REC_FIRST,      // the first record
    current = REC_CURRENT,  // the record at the position (the last one when
                            // the position is past the end)
    last = REC_LAST,        // the last record
    previous = REC_PREV,    // the record before the position
    next = REC_NEXT,        // the record after the position
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
// the address of that R. No R is ever constructed.
template <typename R, typename M>
struct first_member {
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

}  // namespace detail

// A table of `Record`s kept in the order of the key member `Key`, optionally
// with the caller's comparison `Compare` (see the top of this header). The
// table is made by the constructor or by create() and freed by the
// destructor; it can be moved, not copied. Every call uses the table's one
// current position (see the top of this header). A moved-from Table holds no
// table: its calls fail like calls with an invalid id (Error::bad_id).
template <typename Record, auto Key, auto Compare = nullptr>
class Table {
    static_assert(std::is_member_object_pointer_v<decltype(Key)>,
                  "morvane::Table: the key must be given as a pointer to a data member, "
                  "e.g. &Record::key");
    using KeyOwner = typename detail::member_pointer<decltype(Key)>::owner;
    static_assert(std::is_same_v<KeyOwner, Record>,
                  "morvane::Table: the key must be a data member of the record type itself");

public:
    using record_type = Record;
    // The type of the key member.
    using key_type = typename detail::member_pointer<decltype(Key)>::type;

private:
    static constexpr bool kUser = !std::is_same_v<decltype(Compare), std::nullptr_t>;
    static constexpr bool kInt = !kUser && detail::is_int_key_v<key_type>;
    static constexpr bool kText = !kUser && detail::is_text_key_v<key_type>;

    static_assert(std::is_trivially_copyable_v<Record>,
                  "morvane::Table: the record type must be trivially copyable");
    static_assert(std::is_default_constructible_v<Record>,
                  "morvane::Table: the record type must be default constructible");
    static_assert(sizeof(Record) <= INT_MAX, "morvane::Table: the record type is too large");
#if defined(__clang__)
    static_assert(__is_literal_type(Record),
                  "morvane::Table: with clang the record type must be a literal type "
                  "(an aggregate, for instance) so that the key's offset can be checked");
#endif
    static_assert(detail::first_member<Record, key_type>::at_offset_zero(Key),
                  "morvane::Table: the key must be the first member of the record (offset 0)");
    static_assert(kUser || kInt || kText,
                  "morvane::Table: the key must be a signed integer of 1, 2 or 4 bytes or a "
                  "char array, or the table needs a comparison function");
    static_assert(!kUser || std::is_pointer_v<decltype(Compare)>,
                  "morvane::Table: the comparison must be a plain function");
    static_assert(!kUser || std::is_invocable_r_v<int, decltype(Compare), const key_type &,
                                                  const key_type &>,
                  "morvane::Table: the comparison must be callable as "
                  "int(const key_type &, const key_type &)");

    // Which walk a walk object makes.
    enum class WalkKind { all, from, equal, backward };

    // The comparison handed to the library: the record's key first, the
    // caller's second, as the library passes them. Both addresses are the
    // starts of whole records, where the key lies.
    static int compare_records(const void *record, const void *probe) noexcept {
        if constexpr (kUser) {
            return Compare(*static_cast<const key_type *>(record),
                           *static_cast<const key_type *>(probe));
        } else {
            (void)record;
            (void)probe;
            return 0;
        }
    }

    static constexpr int key_kind() {
        if constexpr (kUser) return KEY_USER;
        else if constexpr (kInt) return KEY_INT;
        else return KEY_STRING;
    }

    static std::intptr_t key_field() {
        if constexpr (kUser) return reinterpret_cast<std::intptr_t>(&compare_records);
        else return static_cast<std::intptr_t>(sizeof(key_type));
    }

public:
    // How a key is passed: by value for integers, as text for char arrays
    // (only the first N bytes count), by reference otherwise.
    using key_arg = std::conditional_t<kText, std::string_view,
                                       std::conditional_t<kInt, key_type, const key_type &>>;

    class iterator;
    class walk;

    // Makes an empty table whose storage starts with room for `initial`
    // records (at least 100) and grows by `grow` records (at least 50).
    // Throws table_error with the library's code when it cannot.
#if defined(__cpp_exceptions)
    explicit Table(Mode mode = Mode::unique, int initial = MORVANE_MIN_RECS,
                   int grow = MORVANE_MIN_RINC)
        : id_(make(mode, initial, grow)), mode_(mode) {
        if (id_ < 0) throw table_error(last_error());
    }
#endif

    // Makes an empty table as the constructor does, without throwing: the
    // result holds the table or the library's code.
    static Result<Table> create(Mode mode = Mode::unique, int initial = MORVANE_MIN_RECS,
                                int grow = MORVANE_MIN_RINC) noexcept {
        const int id = make(mode, initial, grow);
        if (id < 0) return Result<Table>(last_error());
        return Result<Table>(Table(id, mode));
    }

    // Frees the table and every record in it.
    ~Table() { reset(); }

    // Takes over `other`'s table; `other` is left holding none.
    Table(Table &&other) noexcept : id_(std::exchange(other.id_, -1)), mode_(other.mode_) {}

    // Frees this table, then takes over `other`'s.
    Table &operator=(Table &&other) noexcept {
        if (this != &other) {
            reset();
            id_ = std::exchange(other.id_, -1);
            mode_ = other.mode_;
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

    // The number of records (0 when this Table holds none).
    std::size_t size() const noexcept {
        const int n = tableCount(id_);
        return n < 0 ? 0 : static_cast<std::size_t>(n);
    }

    // Whether the table holds no record.
    bool empty() const noexcept { return size() == 0; }

    // Writes the table's stored definition on standard error.
    void print() const noexcept { tablePrint(id_); }

    // Inserts a copy of `record` in key order (in a duplicates table in front
    // of the equal record the key search met); the position is left on it.
    // False when the key is already in a unique table (position on that
    // record, no error code) or the storage could not grow (Error::no_memory;
    // the table is unchanged).
    bool add(const Record &record) noexcept { return tableAdd(id_, &record) == 1; }

    // Replaces the record whose key equals `record`'s key by `record`, and
    // leaves the position on it; in a duplicates table that is the equal
    // record the key search met, not necessarily the first of its run. False
    // when the key is absent (position at its insertion point).
    bool set(const Record &record) noexcept { return tableSet(id_, &record) == 1; }

    // The record with key `key` (in a duplicates table the one the key
    // search met), with the position on it; nullopt when there is none
    // (position at the key's insertion point).
    std::optional<Record> get(key_arg key) noexcept {
        Record buffer = probe(key);
        if (tableGet(id_, REC_KEY, &buffer) != 1) return std::nullopt;
        return buffer;
    }

    // The record chosen by `where`, with the position on it; nullopt when
    // there is none (an empty table; previous at the first record; next at or
    // after the last record).
    std::optional<Record> get(Select where) noexcept {
        Record buffer{};
        if (tableGet(id_, static_cast<int>(where), &buffer) != 1) return std::nullopt;
        return buffer;
    }

    // Moves the position to the record with key `key`; false when there is
    // none, with the position at the key's insertion point.
    bool seek(key_arg key) noexcept {
        const Record buffer = probe(key);
        return tableSeek(id_, REC_KEY, &buffer) == 1;
    }

    // Moves the position as `where` says; false when that names no record.
    bool seek(Select where) noexcept {
        return tableSeek(id_, static_cast<int>(where), nullptr) == 1;
    }

    // Deletes the record with key `key` (in a duplicates table the one the
    // key search met); the position goes to the record that followed it, or
    // to the new last record. False when there is none.
    bool erase(key_arg key) noexcept {
        const Record buffer = probe(key);
        return tableDel(id_, REC_KEY, &buffer) == 1;
    }

    // Deletes the record chosen by `where`, with the position as erase(key)
    // leaves it; false when that names no record.
    bool erase(Select where) noexcept {
        return tableDel(id_, static_cast<int>(where), nullptr) == 1;
    }

    // The record at the position, then steps forward; nullopt at the end.
    std::optional<Record> next() noexcept {
        Record buffer{};
        if (tableNext(id_, &buffer) != 1) return std::nullopt;
        return buffer;
    }

    // The record at the position (the last record when the position is past
    // the end), then steps back. At position 0 it returns the first record
    // and stays there, again on every call: a backward walk asks at_start()
    // before each call and stops after the call made when it said true (or
    // uses backward()). nullopt on an empty table.
    std::optional<Record> prev() noexcept {
        if (tableCount(id_) <= 0) return std::nullopt;
        Record buffer{};
        if (tablePrev(id_, &buffer) != 1) return std::nullopt;
        return buffer;
    }

    // Overwrites the record at the position with `record` and steps forward;
    // false at the end. The table is not re-sorted: the new key must sort
    // where the old one did. Inside a range-for the position is already past
    // the record in hand, so this rewrites the one after it.
    bool update(const Record &record) noexcept { return tableUpdate(id_, &record) == 1; }

    // Whether the position is at the first record (true also on an empty
    // table and when this Table holds none).
    bool at_start() const noexcept { return tableAtStart(id_) == 1; }

    // Whether the position is past the last record (true also on an empty
    // table and when this Table holds none).
    bool at_end() const noexcept { return tableAtEnd(id_) == 1; }

    // Starts a walk over every record in key order, from the first.
    iterator begin() noexcept { return walk(this, WalkKind::all, Record{}).begin(); }

    // The end of every walk of this table.
    iterator end() noexcept { return iterator(); }

    // A walk, in key order, from the first record whose key is not below
    // `key` to the last record.
    walk from(key_arg key) noexcept { return walk(this, WalkKind::from, probe(key)); }

    // A walk over every record whose key equals `key`, in table order: none,
    // or one in a unique table, or the whole run in a duplicates table.
    walk equal_range(key_arg key) noexcept { return walk(this, WalkKind::equal, probe(key)); }

    // A walk over every record from the last to the first.
    walk backward() noexcept { return walk(this, WalkKind::backward, Record{}); }

    // A single-pass iterator over a walk: it reads each record through the
    // table's current position and holds a copy of it. All iterators of a
    // walk share that position; comparing with end() tells whether the walk
    // is over.
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Record;
        using difference_type = std::ptrdiff_t;
        using pointer = const Record *;
        using reference = const Record &;

        // The end of a walk.
        iterator() = default;

        // The record in hand (a copy; changing the table does not change it).
        reference operator*() const noexcept { return record_; }

        // Member access to the record in hand.
        pointer operator->() const noexcept { return &record_; }

        // Reads the walk's next record.
        iterator &operator++() noexcept {
            step();
            return *this;
        }

        // Reads the walk's next record; returns a copy of the record before.
        iterator operator++(int) noexcept {
            iterator before = *this;
            step();
            return before;
        }

        // Whether both iterators are at the end of a walk, or both within a
        // walk of the same table.
        friend bool operator==(const iterator &a, const iterator &b) noexcept {
            return a.table_ == b.table_;
        }

        // The negation of ==.
        friend bool operator!=(const iterator &a, const iterator &b) noexcept {
            return !(a == b);
        }

    private:
        friend class walk;

        iterator(Table *table, WalkKind kind, const Record &stop) noexcept
            : table_(table), kind_(kind), stop_(stop) {}

        void step() noexcept {
            if (table_ == nullptr) return;
            const int id = table_->id_;
            if (kind_ == WalkKind::backward) {
                if (last_) {
                    table_ = nullptr;
                    return;
                }
                // At position 0 the next tablePrev fetches the first record
                // and stays there: that fetch is the walk's last.
                last_ = tableAtStart(id) == 1;
                if (tablePrev(id, &record_) != 1) table_ = nullptr;
                return;
            }
            if (tableNext(id, &record_) != 1) {
                table_ = nullptr;
                return;
            }
            if (kind_ == WalkKind::equal && !same_key(record_, stop_)) {
                // Leave the position on the first record after the run, as
                // it is after any other finished walk.
                tableSeek(id, REC_PREV, nullptr);
                table_ = nullptr;
            }
        }

        Table *table_ = nullptr;
        WalkKind kind_ = WalkKind::all;
        Record stop_{};
        Record record_{};
        bool last_ = false;
    };

    // A walk over a table, for a range-for. It positions the table when
    // begin() is called, not when it is made; begin() can be called again to
    // walk once more.
    class walk {
    public:
        // Positions the table at the walk's first record and reads it.
        iterator begin() noexcept {
            const int id = table_->id_;
            switch (kind_) {
                case WalkKind::all:
                    if (tableSeek(id, REC_FIRST, nullptr) != 1) return iterator();
                    break;
                case WalkKind::backward:
                    if (tableSeek(id, REC_LAST, nullptr) != 1) return iterator();
                    break;
                case WalkKind::from:
                case WalkKind::equal:
                    table_->seek_first_not_below(key_);
                    break;
            }
            iterator first(table_, kind_, key_);
            first.step();
            return first;
        }

        // The end of the walk.
        iterator end() const noexcept { return iterator(); }

    private:
        friend class Table;

        walk(Table *table, WalkKind kind, const Record &key) noexcept
            : table_(table), kind_(kind), key_(key) {}

        Table *table_;
        WalkKind kind_;
        Record key_;
    };

private:
    Table(int id, Mode mode) noexcept : id_(id), mode_(mode) {}

    static int make(Mode mode, int initial, int grow) noexcept {
        return tableNew(static_cast<int>(sizeof(Record)), key_kind(), static_cast<int>(mode),
                        key_field(), initial, grow);
    }

    void reset() noexcept {
        if (id_ >= 0) tableFree(id_);
        id_ = -1;
    }

    // A zeroed record holding `key`, for the library's key searches.
    static Record probe(key_arg key) noexcept {
        Record buffer{};
        if constexpr (kText) {
            char text[sizeof(key_type)] = {};
            std::memcpy(text, key.data(), key.size() < sizeof text ? key.size() : sizeof text);
            std::memcpy(&(buffer.*Key), text, sizeof text);
        } else {
            std::memcpy(&(buffer.*Key), &key, sizeof(key_type));
        }
        return buffer;
    }

    // Whether two records have equal keys under the table's order.
    static bool same_key(const Record &a, const Record &b) noexcept {
        if constexpr (kText) return std::strncmp(a.*Key, b.*Key, sizeof(key_type)) == 0;
        else if constexpr (kInt) return a.*Key == b.*Key;
        else return compare_records(&a, &b) == 0;
    }

    // Positions the table on the first record whose key is not below the key
    // of `key`. A key search that succeeds in a duplicates table may stop in
    // the middle of a run of equal keys, so step back to the run's start.
    void seek_first_not_below(const Record &key) noexcept {
        if (tableSeek(id_, REC_KEY, &key) != 1 || mode_ != Mode::duplicates) return;
        Record before{};
        while (tableGet(id_, REC_PREV, &before) == 1) {
            if (!same_key(before, key)) {
                tableSeek(id_, REC_NEXT, nullptr);
                return;
            }
        }
    }

    int id_ = -1;
    Mode mode_ = Mode::unique;
};

}  // namespace morvane

#endif  // MORVANE_HPP
