// morvane.hpp built with -fno-exceptions: tables made by create(), and
// refusals that make the call fail and show in last_misuse().
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "morvane.hpp"

struct Level {
    std::int32_t price;
    std::int32_t qty;
};
using Book = morvane::Table<Level, &Level::price, morvane::Mode::duplicates>;

int main() {
    int failures = 0;
    const auto check = [&](bool ok, const char *what) {
        if (!ok) std::printf("FAILED: %s\n", what), ++failures;
    };
    {  // the first table (id 0) made from a range, then freed for create()
        const Level levels[] = {{101, 5}, {99, 2}};
        auto loaded = Book::create(std::begin(levels), std::end(levels));
        check(loaded.has_value() && (*loaded).size() == 2, "create(first, last) makes the first table");
    }
    auto made = Book::create();
    check(made.has_value(), "create() makes a table");
    Book book = *std::move(made);
    book.insert({101, 5});
    auto it = book.insert({101, 1});
    check(book.size() == 2 && it->qty == 1, "insert() after the run");
    check(!book.replace(it, {102, 0}) && morvane::last_misuse() == morvane::Misuse::key_changed,
          "replace() with another key fails");
    book.erase(it);
    check(book.erase(it) == book.end() && morvane::last_misuse() == morvane::Misuse::stale_iterator,
          "erase() of an erased record fails");
    check(book.size() == 1, "the refused erase() erases nothing");
    Book other = std::move(book);
    check(book.insert({1, 1}) == book.end() && morvane::last_misuse() == morvane::Misuse::no_table,
          "a moved-from table refuses writes");
    return failures == 0 && morvane::last_error() == morvane::Error::none ? 0 : 1;
}
