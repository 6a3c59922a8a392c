// A C++ program built against the library as a CMake package (or as a
// subproject): the C++ interface over the installed library.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <morvane.hpp>

namespace {

struct Level {
    std::int32_t price;
    std::int32_t quantity;
};

}  // namespace

int main() {
    if (std::strcmp(MORVANE_PACKAGE_VERSION, "") != 0) {
        char header[32];
        std::snprintf(header, sizeof header, "%d.%d.%d", MORVANE_VERSION_MAJOR,
                      MORVANE_VERSION_MINOR, MORVANE_VERSION_PATCH);
        if (std::strcmp(header, MORVANE_PACKAGE_VERSION) != 0) {
            std::printf("package %s, header %s\n", MORVANE_PACKAGE_VERSION, header);
            return 1;
        }
    }
    auto made = morvane::Table<Level, &Level::price>::create(morvane::Mode::duplicates);
    if (!made) return 2;
    auto book = *std::move(made);
    for (std::int32_t price : {103, 101, 102, 101}) book.add({price, price - 100});
    for (const Level &level : book.from(102)) std::printf("%d %d\n", level.price, level.quantity);
    int run = 0;
    for (const Level &level : book.equal_range(101)) run += level.quantity;
    std::printf("run %d\n", run);
    return morvane::last_error() == morvane::Error::none ? 0 : 3;
}
