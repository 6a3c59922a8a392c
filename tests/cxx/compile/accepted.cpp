// accepted
// Every kind of key the interface takes compiles without a warning: the
// refused snippets beside it fail for their own reason, not for the setup.
#include <cstdint>
#include "morvane.hpp"
struct Tiny { std::int8_t key; char c; };
struct Short { std::int16_t key; };
struct Wide { std::int32_t key; double value; };
struct Text { char key[7]; };
struct Pair { int a; int b; };
struct Composite { Pair key; int value; };
int compare(const Pair &x, const Pair &y) { return x.a - y.a; }
struct Record { std::int32_t first; std::int32_t key; };
int by_int(const std::int32_t &x, const std::int32_t &y) { return (x > y) - (x < y); }
struct Described { std::int32_t key; Described() {} };
int main() {
    morvane::Table<Tiny, &Tiny::key> a;
    morvane::Table<Short, &Short::key> b;
    morvane::Table<Wide, &Wide::key> c;
    morvane::Table<Text, &Text::key> d;
    morvane::Table<Composite, &Composite::key, compare> e;
    morvane::Table<Record, &Record::first, by_int> f;
#if !defined(__clang__)
    morvane::Table<Described, &Described::key> g;
#endif
    return a.add({1, 'x'}) && b.add({}) && c.add({}) && d.add({}) && e.add({}) && f.add({}) ? 0 : 1;
}
