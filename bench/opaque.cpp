// Functions reached only through pointers defined here, out of sight of the
// code that calls them: every call stays an indirect call, as the library's
// calls of a caller's comparison are.
#include <cstdint>
#include <cstring>

#include "morvane.h"
#include "records.h"

namespace bench {
namespace {

int compare_int_keys(const void *rec, const void *key) {
    std::int32_t a, b;
    std::memcpy(&a, rec, sizeof a);
    std::memcpy(&b, key, sizeof b);
    return (a > b) - (a < b);
}

int g_count = 0;

int stored_count(int) { return g_count; }

}  // namespace

TableCompareFn g_user_compare = compare_int_keys;
int (*g_stored_count)(int) = stored_count;

void set_stored_count(int n) { g_count = n; }

}  // namespace bench
