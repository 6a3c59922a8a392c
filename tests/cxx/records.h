// Record types and helpers shared by the tests of the C++ interface.
#ifndef MORVANE_TESTS_CXX_RECORDS_H
#define MORVANE_TESTS_CXX_RECORDS_H

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "morvane.hpp"
#include "trace_capture.h"

namespace cxxtest {

// A price level: 4-byte key, a payload telling records with equal keys apart.
struct Level {
    std::int32_t price;
    std::int32_t tag;
};
using Book = morvane::Table<Level, &Level::price>;

struct Tiny {
    std::int8_t key;
    char mark;
};
struct Short {
    std::int16_t key;
    std::int16_t mark;
};

// A text key of four bytes, which need not end with a NUL.
struct Word {
    char text[4];
    std::int32_t value;
};
using Words = morvane::Table<Word, &Word::text>;

// A composite key ordered by the caller: year descending, then day ascending.
struct Date {
    std::int32_t year;
    std::int32_t day;
};
struct Event {
    Date when;
    std::int32_t id;
};
inline int newest_first(const Date &a, const Date &b) {
    if (a.year != b.year) return a.year > b.year ? -1 : 1;
    if (a.day != b.day) return a.day < b.day ? -1 : 1;
    return 0;
}
using Events = morvane::Table<Event, &Event::when, newest_first>;

// The prices, or the tags, of the records a walk returns, in its order.
template <typename Range>
std::vector<std::int32_t> prices_of(Range &&range) {
    std::vector<std::int32_t> out;
    for (const Level &level : range) out.push_back(level.price);
    return out;
}

template <typename Range>
std::vector<std::int32_t> tags_of(Range &&range) {
    std::vector<std::int32_t> out;
    for (const Level &level : range) out.push_back(level.tag);
    return out;
}

// The fields of the stored definition the library prints for table `id`.
struct Definition {
    long long rsiz, ktyp, kmod, ftyp, allcd, rinc, used, cur;
};
inline Definition definition_of(int id) {
    const std::string text = trace_of([id] { tablePrint(id); });
    static const std::regex line(
        "rsiz (-?\\d+)  ktyp (-?\\d+)  kmod (-?\\d+)  ftyp (-?\\d+)  allcd (-?\\d+)  "
        "rinc (-?\\d+)  used (-?\\d+)  cur (-?\\d+)");
    std::smatch m;
    Definition d{-1, -1, -1, -1, -1, -1, -1, -1};
    if (std::regex_search(text, m, line)) {
        d = {std::stoll(m[1]), std::stoll(m[2]), std::stoll(m[3]), std::stoll(m[4]),
             std::stoll(m[5]), std::stoll(m[6]), std::stoll(m[7]), std::stoll(m[8])};
    }
    return d;
}

}  // namespace cxxtest

#endif
