// Compiled once as it is, which must build without a warning, and once for
// each "refused" line below with -DREFUSED=<n> (and the flags given), which
// must fail with exactly one error carrying the text after the colon.
// refused 1 -std=c++14: needs C++17
// refused 2: supported key types are std::int8_t
// refused 3: supported key types are std::int8_t
// refused 4: supported key types are std::int8_t
// refused 5: the key must be the first member
// refused 6: must be trivially copyable
// refused 7: the comparison must be callable as
#include <cstdint>
#include <string>
#include <vector>
#include "morvane.hpp"
#ifndef REFUSED
struct Tiny { std::int8_t key; char c; };
struct Short { std::int16_t key; };
struct Text { char key[7]; };
struct Pair { int a; int b; };
struct Composite { Pair key; int value; };
int compare(const Pair &x, const Pair &y) { return x.a - y.a; }
struct Described { std::int32_t key; Described() {} };
// Every member of a table, instantiated for one kind of key.
template <typename T, typename K>
bool use(const K &key, morvane::Mode mode) {
    std::vector<typename T::value_type> in(3);
    T t(in.begin(), in.end(), mode);
    auto it = t.insert_or_assign(in[0]).first;
    t.replace(it, *it);
    auto [first, last] = t.equal_range(key);
    for (const auto &r : t.backward()) t.set(r);
    return t.insert(in[1]) && t.erase(key) && t.get(key) && t.contains(key) && t.count(key) &&
           t.find(key) != t.upper_bound(key) && t.lower_bound(key) != t.erase(first) &&
           first != last && t.front() && t.back() && t.from(key).begin() != t.end() && !t.empty();
}
int main() {
    const morvane::Mode dup = morvane::Mode::duplicates;
    bool ok = use<morvane::Table<Tiny, &Tiny::key>>(std::int8_t{1}, dup) &&
              use<morvane::Table<Short, &Short::key>>(std::int16_t{1}, dup) &&
              use<morvane::Table<Text, &Text::key>>("abc", dup) &&
              use<morvane::Table<Composite, &Composite::key, compare>>(Pair{1, 2}, dup);
#if !defined(__clang__)
    ok = ok && use<morvane::Table<Described, &Described::key>>(1, morvane::Mode::unique);
#endif
    return ok ? 0 : 1;
}
#elif REFUSED == 1
int main() {}
#elif REFUSED == 2
struct Record { std::string key; int value; };
morvane::Table<Record, &Record::key> table;
#elif REFUSED == 3
struct Record { double key; };
morvane::Table<Record, &Record::key> table;
#elif REFUSED == 4
struct Record { std::uint32_t key; };
morvane::Table<Record, &Record::key> table;
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
struct Pair { int a; int b; };
struct Record { Pair key; int value; };
int compare(const Pair &a) { return a.a; }
morvane::Table<Record, &Record::key, compare> table;
#endif
