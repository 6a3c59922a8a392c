// Compiled once as it is, which must build without a warning, and once for
// each "refused" line below with -DREFUSED=<n> (and the flags given), which
// must fail with exactly one error carrying the text after the colon.
// refused 1 -std=c++14: needs C++17
// refused 2: supported key types are integers
// refused 3: supported key types are integers
// refused 4: a bool less-than is not accepted
// refused 5: the key must be the first member
// refused 6: must be trivially copyable
// refused 7: the comparison must be int compare
// refused 8 -std=c++17 -fno-exceptions: make the table with Table::create()
// refused 9: the third argument is the Mode
// refused 10: must be constant-default-constructible
// refused 11 -std=c++17 -fno-exceptions: Table::create(first, last)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>
#include "morvane.hpp"
struct Pair { int a; int b; };
struct Composite { Pair key; int value; };
struct Number { double key; };
struct Plain { std::int32_t key; };
int compare(const Pair &x, const Pair &y) { return x.a - y.a; }
#ifndef REFUSED
struct Tiny { std::uint8_t key; char c; };
struct alignas(alignof(std::max_align_t)) Wide { std::int64_t key; };  // as aligned as allowed
struct Text { char key[7]; };
// Every member of a table, instantiated for one kind of key.
template <typename T, typename K>
bool use(const K &key) {
    std::vector<typename T::value_type> in(3);
    T t(in.begin(), in.end());
    t.insert(in.begin(), in.end());
    std::copy(in.begin(), in.end(), std::inserter(t, t.end()));
    auto it = t.find(key);
    t.replace(it, *it);
    auto [first, last] = t.equal_range(key);
    for (auto r = t.crbegin(); r != t.crend(); ++r) t.erase(std::prev(r.base()));
    T u = std::move(t);
    swap(t, u);
    return t.erase(key) && t.get(key) && t.contains(key) && t.count(key) && sizeof(t.key_comp()) &&
           t.lower_bound(key) != t.erase(first, last) && t.upper_bound(key) != t.cend() &&
           t.front() && t.back() && t.cbegin() != t.end() && !t.empty() && t.size() &&
           t.stored_record_size() && t.id();
}
int main() {
    using morvane::Mode;
    bool ok = use<morvane::Table<Tiny, &Tiny::key>>(std::uint8_t{1}) &&
              use<morvane::Table<Wide, &Wide::key, Mode::duplicates>>(std::int64_t{1}) &&
              use<morvane::Table<Text, &Text::key, Mode::duplicates>>("abc") &&
              use<morvane::Table<Composite, &Composite::key, Mode::unique, compare>>(Pair{1, 2});
    morvane::Table<Tiny, &Tiny::key> t;
    ok = ok && t.insert_or_assign({1, 'a'}).second;
    return ok ? 0 : 1;
}
#elif REFUSED == 1
int main() {}
#elif REFUSED == 2
struct Record { std::string key; int value; };
morvane::Table<Record, &Record::key> table;
#elif REFUSED == 3
morvane::Table<Number, &Number::key> table;
#elif REFUSED == 4
bool less(const double &a, const double &b) { return a < b; }
morvane::Table<Number, &Number::key, morvane::Mode::unique, less> table;
#elif REFUSED == 5
struct Record { char payload[4]; std::int32_t key; };
morvane::Table<Record, &Record::key> table;
#elif REFUSED == 6
struct Record {
    std::int32_t key;
    Record() = default;
    Record(const Record &other) : key(other.key + 0) {}
};
morvane::Table<Record, &Record::key> table;
#elif REFUSED == 7
int first(const Pair &a) { return a.a; }
morvane::Table<Composite, &Composite::key, morvane::Mode::unique, first> table;
#elif REFUSED == 8
morvane::Table<Plain, &Plain::key> table;
#elif REFUSED == 9
int compare_numbers(const double &a, const double &b) { return a < b ? -1 : b < a; }
morvane::Table<Number, &Number::key, compare_numbers> table;
#elif REFUSED == 11
std::vector<Plain> in(2);
morvane::Table<Plain, &Plain::key> table(in.begin(), in.end());
#elif REFUSED == 10
struct Record { std::int32_t key; Record() {} };
morvane::Table<Record, &Record::key> table;
#endif
