// morvane.hpp - C++17 containers over the sorted tables of morvane.h.
//
// Header-only: everything here is inline code over the C operations of
// morvane.h, so a program links the same libmorvane.so as a C program does.
//
//   struct Order { std::int32_t price; std::int32_t quantity; };
//   morvane::Table<Order, &Order::price, morvane::Mode::duplicates> book;
//   book.insert({101, 5});
//   for (const Order &o : book) { ... }             // in key order
//   auto [first, last] = book.equal_range(101);     // the run of 101
//
// Table<Record, Key> (Mode::unique) answers as std::map<key, Record> does,
// Table<Record, Key, Mode::duplicates> as std::multimap: equal keys are kept
// in the order they were inserted, a new record after the records of its key.
// The names mean what std's mean; where they cannot, this header says so.
//
// Records. `Record` is a trivially copyable type, constant-default-
// constructible (an aggregate of plain members, for instance), whose key is
// its first data member, named by `Key` (a pointer to that member). The key
// type decides the order:
//   - signed and unsigned integers of 8, 16, 32 and 64 bits, and enums over
//     them: numeric order (of the underlying value for enums);
//   - char[N]: texts of at most N bytes, compared like strncmp over N bytes
//     (a text of N bytes needs no terminating NUL); a longer text given as a
//     key is refused (Misuse::key_too_long), never matched by its prefix;
//   - anything else, or any key the caller wants ordered differently: a
//     comparison given as the fourth template argument, a plain function
//     `int compare(const K &a, const K &b)` returning a negative, zero or
//     positive value as `a` sorts before, equal to or after `b`. A bool
//     (less-than) comparison is refused at compile time. It must not throw
//     and must not call the library.
// Anything else stops the build with one message naming what is needed.
//
// What a table stores. A unique table stores the records as they are, with
// the library's own integer keys (signed 8, 16, 32 bits) and text keys, and
// can be read by id from C code (id()). A duplicates table stores each
// record followed by its 8-byte arrival number and orders by (key, arrival)
// through a comparison of this layer's, so that every lookup is a binary
// search however long the run of a key; C code reading it by id gets
// stored_record_size() bytes per record. Other integer widths and unsigned
// keys also use a comparison of this layer's (the library's own integer keys
// are signed of 1, 2 or 4 bytes).
//
// Iterators. Bidirectional, and proxy iterators: an iterator holds a copy of
// its record and `*it` returns that record by value (reference is
// value_type; `->` goes through a small proxy), so std::reverse_iterator
// and the algorithms that copy iterators never hold a dangling reference.
// Each iterator names one record (its key in a unique table, its key and
// arrival in a duplicates table) and finds it again by a key search when
// another call through the table moved the library's one current position;
// an undisturbed walk steps as fast as the C walk does. `*it` returns the
// record as it is now, re-read when the table changed since.
//
// Iterators and edits, through the same Table:
//
//   call                               | iterators of that table
//   -----------------------------------+----------------------------------------
//   lookups, walks, size()             | stay valid
//   insert(), insert_or_assign(),      | stay valid and show the new bytes
//   replace(it, r)                     |
//   erase(it), erase(key),             | those on an erased record are invalid;
//   erase(first, last), clear()        | the others stay valid
//   moving or swapping the Table       | stay valid and follow the records
//   destroying the Table, assigning    | all invalid (as in std)
//   another Table to it                |
//
// Where std leaves the use of an invalid iterator undefined, this layer
// refuses it with Misuse::stale_iterator: stepping, reading or erasing
// through an iterator whose record was erased, stepping past end() or
// before begin(), an iterator of another table. No call reads, erases or
// replaces a record other than the one named, and no walk loops forever
// unless the same walk over a std::multimap would. In a unique table a
// record is named by its key: an iterator whose record was erased and whose
// key was inserted again names the new record. The iterators of a destroyed
// Table, and of one another Table was assigned to, must not be used.
// Calls made straight to the C functions on a Table's id are not seen:
// after one that moves the position or changes records, the table's
// iterators are invalid (re-find the records you walk).
//
// Moved-from tables. A Table moved from (or swapped with one that was) is
// empty and silent: its reads answer as an empty table without calling the
// library, its writes are refused with Misuse::no_table (clear() does
// nothing), and another Table can be assigned to it.
//
// Errors. The library's own failures (out of memory, for instance) show in
// results and in its sticky code, read with last_error(). The layer's own
// refusals (Misuse) never touch that code and write no warning line: they
// throw usage_error, or, built without exceptions (-fno-exceptions), make
// the call answer as it does when nothing is found, and last_misuse() tells
// why. Without exceptions the constructors, which could report a failure
// only by throwing, do not compile: Table::create() makes a table instead.
//
// Threads. The library keeps its tables, error code and trace level in
// process-wide state and serves one thread at a time. No two calls into the
// library may run at once, whatever Tables they go through: separate Tables
// used from separate threads race. Serialise all uses (one mutex around
// every call on every Table), or keep the library to one thread.
//
// Growth. Storage starts at `initial` records (default 100) and grows by
// `grow` records (default: as many as fit in 1 MiB, less the initial 100),
// so a small table holds at most 1 MiB while long runs of appends grow
// rarely. A capacity hint (`initial`) sizes the table once.
#ifndef MORVANE_HPP
#define MORVANE_HPP

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "morvane.hpp needs C++17 or later (-std=c++17); C code includes morvane.h"
#else

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
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
    unique = KEY_UNIQUE,          // as std::map: insert() of an existing key fails
    duplicates = KEY_DUPLICATES,  // as std::multimap: equal keys in insertion order
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

// Thrown by the Table constructors when the library cannot make the table.
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
    stale_iterator,  // an iterator whose record is gone, end() read or
                     // stepped past, begin() stepped before, or an
                     // iterator of another table
    no_table,        // a write to a Table that was moved from
};

// A short English description of `code`.
inline const char *describe(Misuse code) noexcept {
    switch (code) {
        case Misuse::none: return "no misuse";
        case Misuse::key_too_long: return "text key longer than the key field";
        case Misuse::key_changed: return "replacement changes the record's key";
        case Misuse::stale_iterator: return "iterator no longer names a record";
        case Misuse::no_table: return "the Table holds no table (it was moved from)";
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

template <typename Record, auto Key, auto M = Mode::unique, auto Compare = nullptr>
class Table;

namespace detail {

// The last refusal of the layer, process-wide like the library's state.
inline Misuse g_misuse = Misuse::none;

// Records a refusal; throws usage_error when exceptions are on. Returns
// false for the calls that then fail.
inline bool refuse(Misuse code) {
    g_misuse = code;
#if defined(__cpp_exceptions)
    throw usage_error(code);
#else
    return false;
#endif
}

template <typename...>
inline constexpr bool dependent_false = false;

// Whether a Table's mode argument is Mode::duplicates (false for anything
// else, which the Table refuses with its own message).
template <auto M>
constexpr bool is_duplicates() {
    if constexpr (std::is_same_v<decltype(M), Mode>) return M == Mode::duplicates;
    else return false;
}

// ---- Checks on record and key types --------------------------------------

template <typename M>
struct member_pointer;

template <typename C, typename M>
struct member_pointer<M C::*> {
    using owner = C;
    using type = M;
};

template <typename K>
inline constexpr bool is_char_type_v =
    std::is_same_v<K, char> || std::is_same_v<K, wchar_t> || std::is_same_v<K, char16_t> ||
    std::is_same_v<K, char32_t>;

// An enum's underlying type; any other type itself.
template <typename K, bool = std::is_enum_v<K>>
struct ordinal_of {
    using type = K;
};
template <typename K>
struct ordinal_of<K, true> {
    using type = std::underlying_type_t<K>;
};
template <typename K>
using ordinal_t = typename ordinal_of<K>::type;

// Integers and enums ordered by value (plain character types and bool
// excluded: a char's signedness differs between platforms).
template <typename K>
inline constexpr bool is_ordinal_key_v = std::is_integral_v<ordinal_t<K>> &&
                                         !std::is_same_v<ordinal_t<K>, bool> &&
                                         !is_char_type_v<ordinal_t<K>>;

// The keys the library orders itself: signed integers of 1, 2 or 4 bytes.
template <typename K>
inline constexpr bool is_c_int_key_v =
    is_ordinal_key_v<K> && std::is_signed_v<ordinal_t<K>> &&
    (sizeof(K) == 1 || sizeof(K) == 2 || sizeof(K) == 4);

// A fixed text key: char[N].
template <typename K>
inline constexpr bool is_text_key_v =
    std::is_array_v<K> && std::rank_v<K> == 1 && std::is_same_v<std::remove_extent_t<K>, char>;

// Whether `R()` is a constant expression, so that the key's offset can be
// checked during compilation.
template <typename R, typename = void>
struct constant_default : std::false_type {};
template <typename R>
struct constant_default<
    R, std::void_t<std::integral_constant<bool, (static_cast<void>(R()), true)>>>
    : std::true_type {};

// Whether `member` is at offset 0 of R: the address of the member of a
// constant R is compared with the address of that R.
template <typename R, bool Try>
struct first_member {
    template <typename M>
    static constexpr bool at_offset_zero(M R::*) { return true; }
};
template <typename R>
struct first_member<R, true> {
    static constexpr R probe{};
    template <typename M>
    static constexpr bool at_offset_zero(M R::*member) {
        return static_cast<const void *>(&(probe.*member)) == static_cast<const void *>(&probe);
    }
};

// Whether F is called as int(const K &, const K &) and gives an int.
template <typename F, typename K, typename = void>
struct int_comparison : std::false_type {};
template <typename F, typename K>
struct int_comparison<F, K, std::enable_if_t<std::is_invocable_v<F, const K &, const K &>>>
    : std::is_same<std::invoke_result_t<F, const K &, const K &>, int> {};

// A key given for a char[N] key: at most N bytes. From a char array it reads
// up to the first NUL or the array's end, so a full key field needs no NUL.
// A longer text is refused by the call it is given to.
class text_key {
public:
    text_key(std::string_view s) noexcept : s_(s) {}
    text_key(const std::string &s) noexcept : s_(s) {}
    template <std::size_t M>
    text_key(const char (&a)[M]) noexcept : s_(a, length(a, M)) {}
    // A NUL-terminated text.
    template <typename P, std::enable_if_t<std::is_same_v<P, const char *> ||
                                               std::is_same_v<P, char *>,
                                           int> = 0>
    text_key(P s) noexcept : s_(s) {}
    std::string_view view() const noexcept { return s_; }

private:
    static std::size_t length(const char *a, std::size_t most) noexcept {
        std::size_t n = 0;
        while (n < most && a[n] != '\0') ++n;
        return n;
    }
    std::string_view s_;
};

// ---- What a table stores and how it orders it -----------------------------

// A stored record: the caller's record, and in a duplicates table its
// arrival number after it, which orders equal keys.
template <typename Record, bool Dup>
struct Stored {
    Record record;
};
template <typename Record>
struct Stored<Record, true> {
    Record record;
    std::uint64_t seq;
};

// What the layer knows of one table, shared by its Table object and its
// iterators, so that iterators survive a move of the Table. The library has
// one current position per table; `at` and `next` hold the tickets of the
// iterators whose records are at that position and just after it (0 when
// not known). Every call that moves the position or changes records updates
// them, so an iterator whose ticket matches steps without a key search.
struct State {
    int id = -1;
    std::uint64_t edits = 0;     // changes of records made through the layer
    std::uint64_t tickets = 0;   // the last ticket handed to an iterator
    std::uint64_t at = 0;        // ticket of the record at the position
    std::uint64_t next = 0;      // ticket of the record after the position
    std::uint64_t arrivals = 0;  // arrival numbers handed out
    void lost() noexcept { at = next = 0; }
};

// The State of a table of `Stored` records, with the first record as
// begin() last read it, so that begin() costs no call while no record
// changed (a walk's `it != rend()` asks for it at every step).
template <typename Stored>
struct StateOf : State {
    Stored first{};
    std::uint64_t first_ticket = 0;
    std::uint64_t first_edits = 0;
};

template <typename Core>
class Iterator;

// The keys, stored records, searches and iterator steps of one kind of
// table: records `Record` keyed by `Key`, duplicates or not, ordered by
// `Compare` or by the key's type.
template <typename Record, auto Key, bool Dup, auto Compare>
struct Core {
    using key_type = typename member_pointer<decltype(Key)>::type;
    using stored_type = Stored<Record, Dup>;
    using iterator = Iterator<Core>;
    using state_type = StateOf<stored_type>;
    static constexpr bool user = !std::is_same_v<decltype(Compare), std::nullptr_t>;
    static constexpr bool c_int = !user && is_c_int_key_v<key_type>;
    static constexpr bool ordinal = !user && is_ordinal_key_v<key_type>;
    static constexpr bool text = !user && is_text_key_v<key_type>;
    static constexpr int stored_size =
        static_cast<int>(Dup ? sizeof(stored_type) : sizeof(Record));

    // How a key is passed: by value for integers, as text for char arrays,
    // by reference otherwise.
    using key_arg = std::conditional_t<text, text_key,
                                       std::conditional_t<ordinal, key_type, const key_type &>>;

    static int compare_keys(const key_type &a, const key_type &b) noexcept {
        if constexpr (user) {
            return Compare(a, b);
        } else if constexpr (text) {
            return std::strncmp(a, b, sizeof(key_type));
        } else {
            using O = ordinal_t<key_type>;
            const O x = static_cast<O>(a), y = static_cast<O>(b);
            return x < y ? -1 : (y < x ? 1 : 0);
        }
    }

    static bool same_key(const stored_type &a, const stored_type &b) noexcept {
        return compare_keys(a.record.*Key, b.record.*Key) == 0;
    }

    // The table's order of stored records: by key, then by arrival.
    static int compare(const stored_type &a, const stored_type &b) noexcept {
        const int c = compare_keys(a.record.*Key, b.record.*Key);
        if constexpr (Dup) {
            if (c == 0) return a.seq < b.seq ? -1 : (b.seq < a.seq ? 1 : 0);
        }
        return c;
    }

    // The comparison handed to the library for a KEY_USER table: the stored
    // record first, the search's buffer second, as the library passes them.
    static int compare_stored(const void *record, const void *probe) noexcept {
        return compare(*static_cast<const stored_type *>(record),
                       *static_cast<const stored_type *>(probe));
    }

    // The library orders a unique table of its own keys itself; every other
    // table through compare_stored.
    static constexpr bool own_keys = !Dup && (c_int || text);

    static int make(int initial, int grow) noexcept {
        const std::intptr_t field = own_keys
                                        ? static_cast<std::intptr_t>(sizeof(key_type))
                                        : reinterpret_cast<std::intptr_t>(&compare_stored);
        const int kind = !own_keys ? KEY_USER : (c_int ? KEY_INT : KEY_STRING);
        return tableNew(stored_size, kind, Dup ? KEY_DUPLICATES : KEY_UNIQUE, field, initial, grow);
    }

    static constexpr int default_grow =
        (1u << 20) / sizeof(stored_type) < MORVANE_MIN_RECS + MORVANE_MIN_RINC
            ? MORVANE_MIN_RINC
            : static_cast<int>((1u << 20) / sizeof(stored_type)) - MORVANE_MIN_RECS;

    // Fills `buffer` with `key` for a key search; false when a text key does
    // not fit the key field (refused).
    static bool fill_key(key_arg key, stored_type &buffer) {
        if constexpr (text) {
            const std::string_view chars = key.view();
            if (chars.size() > sizeof(key_type)) return refuse(Misuse::key_too_long);
            std::memcpy(&(buffer.record.*Key), chars.data(), chars.size());
        } else {
            std::memcpy(&(buffer.record.*Key), &key, sizeof(key_type));
        }
        return true;
    }

    // ---- Searches: each leaves an iterator on the record found ----

    // An iterator on `record`, which is at the table's position.
    static iterator land(State &s, const stored_type &record) noexcept {
        iterator it;
        it.state_ = &s;
        it.stored_ = record;
        it.seen_ = s.edits;
        it.ticket_ = ++s.tickets;
        s.at = it.ticket_;
        s.next = 0;
        return it;
    }

    // The first record, read once while no record changes.
    static iterator first(state_type &s) noexcept {
        if (s.first_ticket != 0 && s.first_edits == s.edits) {
            iterator it;
            it.state_ = &s;
            it.stored_ = s.first;
            it.seen_ = s.edits;
            it.ticket_ = s.first_ticket;
            return it;
        }
        stored_type record{};
        if (tableGet(s.id, REC_FIRST, &record) != 1) {
            s.lost();
            return end_of(&s);
        }
        iterator it = land(s, record);
        s.first = record;
        s.first_ticket = it.ticket_;
        s.first_edits = s.edits;
        return it;
    }

    static iterator end_of(State *s) noexcept {
        iterator it;
        it.state_ = s;
        return it;
    }

    // The first stored record not below `probe`. A failed key search leaves
    // the position at the insertion point, past the last record when every
    // record sorts below (where REC_CURRENT reads the last one instead).
    static iterator lower_bound(State &s, const stored_type &probe) noexcept {
        stored_type buffer = probe;
        if (tableGet(s.id, REC_KEY, &buffer) == 1) return land(s, buffer);
        if (tableGet(s.id, REC_CURRENT, &buffer) == 1 && compare(buffer, probe) > 0)
            return land(s, buffer);
        s.lost();
        return end_of(&s);
    }

    // The first stored record above `probe`.
    static iterator upper_bound(State &s, const stored_type &probe) noexcept {
        stored_type buffer = probe;
        if (tableGet(s.id, REC_KEY, &buffer) != 1) return lower_bound(s, probe);
        if (tableGet(s.id, REC_NEXT, &buffer) == 1) return land(s, buffer);
        s.lost();
        return end_of(&s);
    }

    // The probe of the first (`last` false) or past the last record of
    // `key`'s run; false when the key is refused.
    static bool run_probe(key_arg key, bool last, stored_type &probe) {
        if (!fill_key(key, probe)) return false;
        if constexpr (Dup) probe.seq = last ? UINT64_MAX : 0;
        return true;
    }

    // ---- Iterator steps ----

    // Puts the table's position on the record `it` names: true, or refused
    // when the record is gone.
    static bool place(const iterator &it) {
        State &s = *it.state_;
        if (it.ticket_ == s.at) return true;
        if (it.ticket_ == s.next && tableSeek(s.id, REC_NEXT, nullptr) == 1) {
            s.at = it.ticket_;
            s.next = 0;
            return true;
        }
        return find_again(it);
    }

    // Finds `it`'s record by a key search and re-reads it.
    static bool find_again(const iterator &it) {
        State &s = *it.state_;
        stored_type buffer = it.stored_;
        if (tableGet(s.id, REC_KEY, &buffer) != 1) {
            s.lost();
            return refuse(Misuse::stale_iterator);
        }
        it.stored_ = buffer;
        it.seen_ = s.edits;
        s.at = it.ticket_;
        s.next = 0;
        return true;
    }

    static bool on_record(const iterator &it) {
        return it.state_ != nullptr && it.ticket_ != 0 ? true : refuse(Misuse::stale_iterator);
    }

    static Record read(const iterator &it) {
        if (!on_record(it)) return Record{};
        if (it.seen_ != it.state_->edits && !find_again(it)) return Record{};
        return it.stored_.record;
    }

    static void forward(iterator &it) {
        if (!on_record(it) || !place(it)) return;
        State &s = *it.state_;
        stored_type buffer{};
        if (tableGet(s.id, REC_NEXT, &buffer) != 1) {
            it.ticket_ = 0;  // past the last record: the end
            return;
        }
        it = land(s, buffer);
    }

    static void backward(iterator &it) {
        if (it.state_ == nullptr) {
            refuse(Misuse::stale_iterator);
            return;
        }
        State &s = *it.state_;
        stored_type buffer{};
        const std::uint64_t after = it.ticket_;
        int got = 0;
        if (after == 0) {
            got = tableGet(s.id, REC_LAST, &buffer);
        } else if (after == s.next) {
            got = tableGet(s.id, REC_CURRENT, &buffer);  // as std::reverse_iterator steps
        } else {
            if (!place(it)) return;
            got = tableGet(s.id, REC_PREV, &buffer);
        }
        if (got != 1) {
            refuse(Misuse::stale_iterator);  // before the first record
            return;
        }
        it = land(s, buffer);
        s.next = after;
    }

    static bool same(const iterator &a, const iterator &b) noexcept {
        if (a.state_ != b.state_) return false;
        if (a.ticket_ == 0 || b.ticket_ == 0 || a.ticket_ == b.ticket_)
            return a.ticket_ == b.ticket_;
        if constexpr (Dup) return a.stored_.seq == b.stored_.seq;
        else return same_key(a.stored_, b.stored_);
    }

    // ---- Bulk load ----

    // Makes a table holding the records of [first, last): sorts a copy
    // stably (integer keys by radix, which beats a comparison sort), makes
    // the table with room for all and appends them in order: in a unique
    // table the first of equal keys, in a duplicates table all, numbered in
    // input order. -1 when the library fails (its code recorded).
    template <typename It>
    static int load(It first, It last, State &s) {
        std::vector<Record> all(first, last);
        const auto less = [](const Record &a, const Record &b) {
            return compare_keys(a.*Key, b.*Key) < 0;
        };
        if (!std::is_sorted(all.begin(), all.end(), less)) {
            if constexpr (ordinal) radix_sort(all);
            else std::stable_sort(all.begin(), all.end(), less);
        }
        const int id = make(static_cast<int>(std::min<std::size_t>(all.size(), INT_MAX)),
                            default_grow);
        if (id < 0) return -1;
        for (std::size_t i = 0; i < all.size(); ++i) {
            stored_type record{};
            record.record = all[i];
            if constexpr (Dup) {
                record.seq = ++s.arrivals;
            } else {
                if (i > 0 && compare_keys(all[i - 1].*Key, all[i].*Key) == 0) continue;
            }
            if (tableAdd(id, &record) != 1) {
                tableFree(id);
                return -1;
            }
        }
        return id;
    }

    // Sorts records with integer keys stably, a byte of the key at a time
    // from the lowest (the sign bit flipped, so negative keys come first).
    static void radix_sort(std::vector<Record> &all) {
        std::vector<Record> other(all.size());
        for (unsigned shift = 0; shift < 8 * sizeof(key_type); shift += 8) {
            std::size_t start[256] = {};  // counts, then where each digit starts
            for (const Record &r : all) ++start[digit(r, shift)];
            if (start[digit(all[0], shift)] == all.size()) continue;  // one digit for all
            std::size_t at = 0;
            for (std::size_t &d : start) at += std::exchange(d, at);
            for (const Record &r : all) other[start[digit(r, shift)]++] = r;
            all.swap(other);
        }
    }

    static std::size_t digit(const Record &r, unsigned shift) noexcept {
        using O = ordinal_t<key_type>;
        std::uint64_t bits = static_cast<std::make_unsigned_t<O>>(static_cast<O>(r.*Key));
        if constexpr (std::is_signed_v<O>) bits ^= std::uint64_t{1} << (8 * sizeof(O) - 1);
        return static_cast<std::size_t>((bits >> shift) & 0xffu);
    }
};

// A bidirectional proxy iterator over a table (see the top of this header).
template <typename Core>
class Iterator {
    using Record = decltype(std::declval<typename Core::stored_type>().record);

public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = Record;
    using difference_type = std::ptrdiff_t;
    // A proxy iterator: the record comes by value.
    using reference = Record;
    // What `->` returns: a copy of the record that member access reads.
    struct pointer {
        Record record;
        const Record *operator->() const noexcept { return &record; }
    };

    // An iterator of no table, equal only to others of no table.
    Iterator() = default;

    // The record, as the table holds it now.
    reference operator*() const { return Core::read(*this); }
    pointer operator->() const { return pointer{Core::read(*this)}; }

    // Steps to the next record, or to the end after the last.
    Iterator &operator++() {
        Core::forward(*this);
        return *this;
    }
    Iterator operator++(int) {
        Iterator before = *this;
        Core::forward(*this);
        return before;
    }

    // Steps to the previous record; from the end, to the last.
    Iterator &operator--() {
        Core::backward(*this);
        return *this;
    }
    Iterator operator--(int) {
        Iterator before = *this;
        Core::backward(*this);
        return before;
    }

    // Equal when both are the end of one table, or name one record of it.
    friend bool operator==(const Iterator &a, const Iterator &b) noexcept {
        return Core::same(a, b);
    }
    friend bool operator!=(const Iterator &a, const Iterator &b) noexcept { return !(a == b); }

private:
    friend Core;
    template <typename, auto, auto, auto>
    friend class morvane::Table;
    State *state_ = nullptr;
    mutable typename Core::stored_type stored_{};  // the record, as last read
    mutable std::uint64_t seen_ = 0;               // state_->edits when read
    std::uint64_t ticket_ = 0;                     // 0: the end
};

}  // namespace detail

// The last refusal of the C++ layer (Misuse::none if none), for programs
// built without exceptions. Process-wide, like the library's error code.
inline Misuse last_misuse() noexcept { return detail::g_misuse; }

// A table of `Record`s kept in the order of the key member `Key`: with
// Mode::unique (the default) a counterpart of std::map, with
// Mode::duplicates of std::multimap. `Compare` is the caller's comparison
// of keys, if any (see the top of this header). Made by a constructor or by
// create(), freed by the destructor; movable, not copyable.
template <typename Record, auto Key, auto M, auto Compare>
class Table {
    static constexpr bool kModeOk = std::is_same_v<decltype(M), Mode>;
    static_assert(kModeOk,
                  "morvane::Table: the third argument is the Mode (Mode::unique or "
                  "Mode::duplicates); a comparison comes fourth");
    static_assert(std::is_member_object_pointer_v<decltype(Key)>,
                  "morvane::Table: the key must be given as a pointer to a data member, "
                  "e.g. &Record::key");
    static_assert(std::is_same_v<typename detail::member_pointer<decltype(Key)>::owner, Record>,
                  "morvane::Table: the key must be a data member of the record type itself");
    static constexpr bool kDup = detail::is_duplicates<M>();
    using Core = detail::Core<Record, Key, kDup, Compare>;
    using stored_type = typename Core::stored_type;
    using State = typename Core::state_type;
    static_assert(!kModeOk || Core::user || Core::ordinal || Core::text,
                  "morvane::Table: supported key types are integers of 8, 16, 32 and 64 bits, "
                  "enums and char[N]; any other key needs a comparison function as the fourth "
                  "template argument");
    // Each check below assumes the ones above passed, so that a wrong record
    // gets one message.
    static constexpr bool kKeyed = kModeOk && (Core::user || Core::ordinal || Core::text);
    static_assert(!kKeyed || std::is_trivially_copyable_v<Record>,
                  "morvane::Table: the record type must be trivially copyable");
    static constexpr bool kCopyable = kKeyed && std::is_trivially_copyable_v<Record>;
    static_assert(!kCopyable || detail::constant_default<Record>::value,
                  "morvane::Table: the record type must be constant-default-constructible "
                  "(an aggregate of plain members, for instance) so that the key's offset "
                  "can be checked");
    static constexpr bool kConstant = kCopyable && detail::constant_default<Record>::value;
    static_assert(detail::first_member<Record, kConstant>::at_offset_zero(Key),
                  "morvane::Table: the key must be the first member of the record (offset 0)");
    static_assert(sizeof(stored_type) <= INT_MAX, "morvane::Table: the record type is too large");
    static_assert(alignof(Record) <= alignof(std::max_align_t),
                  "morvane::Table: the record type is aligned beyond what the memory "
                  "service gives");
    static_assert(!Core::user || std::is_pointer_v<decltype(Compare)>,
                  "morvane::Table: the comparison must be a plain function");
    static_assert(!Core::user ||
                      detail::int_comparison<decltype(Compare), typename Core::key_type>::value,
                  "morvane::Table: the comparison must be int compare(const K &a, const K &b), "
                  "negative, zero or positive as a sorts before, equal to or after b "
                  "(a bool less-than is not accepted)");

public:
    using key_type = typename Core::key_type;
    using value_type = Record;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using iterator = typename Core::iterator;
    using const_iterator = iterator;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = reverse_iterator;
    // What insert() returns: an iterator in a duplicates table, an iterator
    // and whether the record was inserted in a unique one.
    using insert_return = std::conditional_t<kDup, iterator, std::pair<iterator, bool>>;
    // How a key is passed: by value for integers, as text (at most N bytes)
    // for char[N], by reference otherwise.
    using key_arg = typename Core::key_arg;

    // Orders keys as the table does, as a less-than.
    struct key_compare {
        bool operator()(const key_type &a, const key_type &b) const noexcept {
            return Core::compare_keys(a, b) < 0;
        }
    };

    // The default growth step: as many records as fit in 1 MiB, less the
    // first MORVANE_MIN_RECS (at least MORVANE_MIN_RINC).
    static constexpr int default_grow = Core::default_grow;

#if defined(__cpp_exceptions)
    // Table(): an empty table whose storage starts with room for `initial`
    // records and grows by `grow` records. Throws table_error with the
    // library's code when it cannot.
    explicit Table(int initial = MORVANE_MIN_RECS, int grow = default_grow)
        : state_(new State) {
        state_->id = Core::make(initial, grow);
        if (state_->id < 0) throw table_error(last_error());
    }

    // Table(first, last): a table holding the records of [first, last),
    // sorted or not, sizing its storage once. A unique table keeps the
    // first of equal keys, as std::map does; a duplicates table keeps them
    // all in input order. Throws table_error when the library cannot.
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    Table(It first, It last) : state_(new State) {
        state_->id = Core::load(first, last, *state_);
        if (state_->id < 0) throw table_error(last_error());
    }
#else
    template <bool Exceptions = false>
    explicit Table(int = MORVANE_MIN_RECS, int = default_grow) {
        static_assert(Exceptions,
                      "morvane::Table: built without exceptions, a constructor cannot report "
                      "failure: make the table with Table::create()");
    }
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    Table(It, It) {
        static_assert(detail::dependent_false<It>,
                      "morvane::Table: built without exceptions, a constructor cannot report "
                      "failure: make the table with Table::create(first, last)");
    }
#endif

    // create(): makes an empty table as the constructor does, without
    // throwing: the result holds the table or the library's code.
    static Result<Table> create(int initial = MORVANE_MIN_RECS,
                                int grow = default_grow) noexcept {
        std::unique_ptr<State> state(new (std::nothrow) State);
        if (!state) return Result<Table>(Error::no_memory);
        state->id = Core::make(initial, grow);
        if (state->id < 0) return Result<Table>(last_error());
        return Result<Table>(Table(std::move(state)));
    }

    // create(first, last): a loaded table as the range constructor makes
    // it, without throwing (but for std::bad_alloc from the sorting buffer).
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    static Result<Table> create(It first, It last) {
        std::unique_ptr<State> state(new State);
        state->id = Core::load(first, last, *state);
        if (state->id < 0) return Result<Table>(last_error());
        return Result<Table>(Table(std::move(state)));
    }

    // ~Table(): frees the table and every record in it.
    ~Table() { release(); }

    // Table(Table &&): takes over `other`'s table and iterators; `other` is
    // left empty (see the top of this header).
    Table(Table &&other) noexcept = default;

    // operator=(Table &&): frees this table, then takes over `other`'s.
    Table &operator=(Table &&other) noexcept {
        if (this != &other) {
            release();
            state_ = std::move(other.state_);
        }
        return *this;
    }

    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // swap(): exchanges the tables; iterators follow their records.
    void swap(Table &other) noexcept { state_.swap(other.state_); }
    friend void swap(Table &a, Table &b) noexcept { a.swap(b); }

    // id(): the table id for the C operations of morvane.h, or -1 when this
    // Table holds none. Its records are stored_record_size() bytes each.
    int id() const noexcept { return state_ ? state_->id : -1; }

    // stored_record_size(): the bytes of one stored record: sizeof(Record)
    // in a unique table, followed by an 8-byte arrival number (and padding)
    // in a duplicates table.
    static constexpr int stored_record_size() noexcept { return Core::stored_size; }

    // key_comp(): the table's order of keys, as a less-than.
    key_compare key_comp() const noexcept { return key_compare{}; }

    // size(): the number of records.
    size_type size() const noexcept {
        const int n = state_ ? tableCount(state_->id) : 0;
        return n < 0 ? 0 : static_cast<size_type>(n);
    }

    // empty(): whether the table holds no record.
    bool empty() const noexcept { return size() == 0; }

    // begin(), cbegin(): the first record, or end() on an empty table.
    iterator begin() const noexcept { return state_ ? Core::first(*state_) : end(); }
    iterator cbegin() const noexcept { return begin(); }

    // end(), cend(): the place after the last record.
    iterator end() const noexcept { return Core::end_of(state_.get()); }
    iterator cend() const noexcept { return end(); }

    // rbegin(), crbegin(), rend(), crend(): a walk from the last record to
    // the first.
    reverse_iterator rbegin() const noexcept { return reverse_iterator(end()); }
    reverse_iterator crbegin() const noexcept { return rbegin(); }
    reverse_iterator rend() const noexcept { return reverse_iterator(begin()); }
    reverse_iterator crend() const noexcept { return rend(); }

    // find(): the record with key `key` (the first of its run), or end().
    iterator find(key_arg key) const {
        stored_type probe{};
        if (!Core::run_probe(key, false, probe) || !state_) return end();
        iterator it = Core::lower_bound(*state_, probe);
        return it != end() && Core::same_key(it.stored_, probe) ? it : end();
    }

    // contains(): whether a record has key `key`.
    bool contains(key_arg key) const {
        if constexpr (kDup) {
            return find(key) != end();
        } else {
            stored_type probe{};
            if (!Core::fill_key(key, probe) || !state_) return false;
            state_->lost();
            return tableSeek(state_->id, REC_KEY, &probe) == 1;
        }
    }

    // count(): the number of records with key `key`.
    size_type count(key_arg key) const {
        const auto [first, last] = equal_range(key);
        size_type n = 0;
        for (iterator it = first; it != last; ++it) ++n;
        return n;
    }

    // lower_bound(): the first record whose key is not below `key`.
    iterator lower_bound(key_arg key) const {
        stored_type probe{};
        if (!Core::run_probe(key, false, probe) || !state_) return end();
        return Core::lower_bound(*state_, probe);
    }

    // upper_bound(): the first record whose key is above `key`.
    iterator upper_bound(key_arg key) const {
        stored_type probe{};
        if (!Core::run_probe(key, true, probe) || !state_) return end();
        return Core::upper_bound(*state_, probe);
    }

    // equal_range(): the records with key `key`, as
    // {lower_bound(key), upper_bound(key)}.
    std::pair<iterator, iterator> equal_range(key_arg key) const {
        iterator first = lower_bound(key);
        return {first, upper_bound(key)};
    }

    // get(): a copy of the record with key `key` (the first of its run), or
    // nullopt.
    std::optional<Record> get(key_arg key) const {
        const iterator it = find(key);
        if (it == end()) return std::nullopt;
        return *it;
    }

    // front(), back(): the first and the last record; nullopt when empty.
    std::optional<Record> front() const noexcept { return edge(REC_FIRST); }
    std::optional<Record> back() const noexcept { return edge(REC_LAST); }

    // insert(): inserts a copy of `record`; in a duplicates table after the
    // records with its key. A unique table returns the record with that key
    // and whether it was inserted; a duplicates table the new record. When
    // the storage cannot grow the table is unchanged, the result is end()
    // and last_error() is Error::no_memory.
    insert_return insert(const Record &record) {
        if constexpr (kDup) {
            detail::State *s = writable();
            if (!s) return end();
            const stored_type stored{record, ++s->arrivals};
            if (tableAdd(s->id, &stored) == 1) return added(*s, stored);
            s->lost();
            return end();
        } else {
            detail::State *s = writable();
            if (!s) return {end(), false};
            stored_type stored{};
            stored.record = record;
            if (tableAdd(s->id, &stored) == 1) return {added(*s, stored), true};
            // The key was there (the position is on its record) or the
            // storage could not grow (the position is elsewhere).
            stored_type there{};
            if (tableGet(s->id, REC_CURRENT, &there) == 1 && Core::same_key(there, stored))
                return {Core::land(*s, there), false};
            s->lost();
            return {end(), false};
        }
    }

    // insert(hint, record): inserts as insert(record) does (the place comes
    // from the key, so the hint is not needed) and returns an iterator on
    // the record with that key, so that std::inserter works.
    iterator insert(const iterator &hint, const Record &record) {
        static_cast<void>(hint);
        if constexpr (kDup) return insert(record);
        else return insert(record).first;
    }

    // insert(first, last): inserts each record of [first, last).
    template <typename It, typename = std::enable_if_t<std::is_convertible_v<
                               typename std::iterator_traits<It>::reference, const Record &>>>
    void insert(It first, It last) {
        for (; first != last; ++first) insert(*first);
    }

    // insert_or_assign() (unique tables): replaces the record with
    // `record`'s key by `record`, or inserts it; returns an iterator on it
    // and whether it was inserted.
    template <bool D = kDup, std::enable_if_t<!D, int> = 0>
    std::pair<iterator, bool> insert_or_assign(const Record &record) {
        detail::State *s = writable();
        if (!s) return {end(), false};
        stored_type stored{};
        stored.record = record;
        if (tableSet(s->id, &stored) == 1) return {added(*s, stored), false};
        return insert(record);
    }

    // replace(): overwrites the record `it` names with `record`, which must
    // have the same key (else Misuse::key_changed). False when refused.
    bool replace(const iterator &it, const Record &record) {
        detail::State *s = writable();
        if (!s || !mine(it)) return false;
        if (Core::compare_keys(it.stored_.record.*Key, record.*Key) != 0)
            return detail::refuse(Misuse::key_changed);
        if (!Core::place(it)) return false;
        stored_type stored = it.stored_;
        stored.record = record;
        s->lost();
        if (tableUpdate(s->id, &stored) != 1) return false;
        ++s->edits;
        it.stored_ = stored;
        it.seen_ = s->edits;
        return true;
    }

    // erase(it): deletes the record `it` names; returns the iterator after
    // it. An iterator whose record is gone is refused.
    iterator erase(const iterator &it) {
        detail::State *s = writable();
        if (!s || !mine(it) || !Core::place(it)) return end();
        const stored_type gone = it.stored_;
        s->lost();
        if (tableDel(s->id, REC_CURRENT, nullptr) != 1) return end();
        ++s->edits;
        // The position is on the record after, or on the new last record
        // when the last one went.
        stored_type after{};
        if (tableGet(s->id, REC_CURRENT, &after) == 1 && Core::compare(after, gone) > 0)
            return Core::land(*s, after);
        return end();
    }

    // erase(first, last): deletes the records of [first, last); returns
    // `last`. A `last` before `first` is refused.
    iterator erase(iterator first, const iterator &last) {
        if (first.ticket_ != 0 && last.ticket_ != 0 &&
            Core::compare(first.stored_, last.stored_) > 0) {
            detail::refuse(Misuse::stale_iterator);
            return end();
        }
        while (first != last) {
            first = erase(first);
            if (first == end()) break;  // the end, or refused without exceptions
        }
        return last;
    }

    // erase(key): deletes every record with key `key`; returns how many.
    size_type erase(key_arg key) {
        stored_type probe{};
        if (!Core::run_probe(key, false, probe)) return 0;
        detail::State *s = writable();
        if (!s) return 0;
        s->lost();
        size_type n = 0;
        if constexpr (kDup) {
            // From the run's first record (the failed search's insertion
            // point), deleting until a record has another key.
            stored_type record = probe;
            tableSeek(s->id, REC_KEY, &probe);
            while (tableGet(s->id, REC_CURRENT, &record) == 1 && Core::same_key(record, probe) &&
                   tableDel(s->id, REC_CURRENT, nullptr) == 1)
                ++n;
        } else {
            n = tableDel(s->id, REC_KEY, &probe) == 1 ? 1 : 0;
        }
        if (n > 0) ++s->edits;
        return n;
    }

    // clear(): deletes every record; the storage keeps its size. Does
    // nothing on a Table that was moved from.
    void clear() noexcept {
        if (!state_) return;
        state_->lost();
        ++state_->edits;
        while (tableDel(state_->id, REC_LAST, nullptr) == 1) {
        }
    }

    // print(): writes the table's stored definition on standard error.
    void print() const noexcept {
        if (state_) tablePrint(state_->id);
    }

    // misuse(): the layer's last refusal (see last_misuse()).
    Misuse misuse() const noexcept { return last_misuse(); }

private:
    explicit Table(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}

    void release() noexcept {
        if (state_ && state_->id >= 0) tableFree(state_->id);
        state_.reset();
    }

    detail::State *writable() const {
        if (!state_) detail::refuse(Misuse::no_table);
        return state_.get();
    }

    bool mine(const iterator &it) const {
        return it.state_ == state_.get() && it.ticket_ != 0
                   ? true
                   : detail::refuse(Misuse::stale_iterator);
    }

    // An iterator on a record just added or overwritten at the position.
    static iterator added(detail::State &s, const stored_type &record) noexcept {
        ++s.edits;
        return Core::land(s, record);
    }

    std::optional<Record> edge(int which) const noexcept {
        stored_type record{};
        if (!state_) return std::nullopt;
        state_->lost();
        if (tableGet(state_->id, which, &record) != 1) return std::nullopt;
        return record.record;
    }

    std::unique_ptr<State> state_;
};

}  // namespace morvane

#endif  // C++17
#endif  // MORVANE_HPP
