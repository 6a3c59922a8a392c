// The public header compiles as C++ and gives C linkage to the operations.
#include "morvane.h"

#include <type_traits>

using NewFn = int (*)(int, int, int, intptr_t, int, int);
using VoidIntFn = void (*)(int);
using CompareFn = int (*)(const void *, const void *);
static_assert(std::is_same_v<decltype(&::tableNew), NewFn>);
static_assert(std::is_same_v<decltype(&::tableSetDebug), VoidIntFn>);
static_assert(std::is_same_v<decltype(&::tablePrint), VoidIntFn>);
static_assert(std::is_same_v<TableCompareFn, CompareFn>);
static_assert(KEY_INT == 0 && KEY_STRING == 1 && KEY_USER == 2);
static_assert(KEY_UNIQUE == 0 && KEY_DUPLICATES == 1);
static_assert(TERR_NONE == 1 && TERR_NOMEM == 2 && TERR_BADID == 3 && TERR_BADSIZE == 4 &&
              TERR_BADKTYP == 5 && TERR_BADKMOD == 6 && TERR_BADFTYP == 7);

int main() {
    const int id = tableNew(4, KEY_INT, KEY_UNIQUE, 4, 1, 1);
    const bool ok = id == 0 && tableCount(id) == 0 && tableFree(id) == 1;
    return ok ? 0 : 1;
}
