// A C++ program built against morvane as a CMake package or a subproject.
#include <cstdint>
#include <cstdio>

#include <morvane.hpp>

struct Level {
    std::int32_t price;
    std::int32_t quantity;
};

int main() {
    morvane::Table<Level, &Level::price, morvane::Mode::duplicates> book;
    for (std::int32_t price : {103, 101, 102, 101}) book.insert({price, price - 100});
    for (const Level &level : book) std::printf("%d %d\n", level.price, level.quantity);
    return morvane::last_error() == morvane::Error::none ? 0 : 1;
}
