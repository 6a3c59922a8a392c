// Byte counts for the memory service, computed without overflow.
#ifndef MORVANE_CORE_SIZES_H
#define MORVANE_CORE_SIZES_H

#include <climits>
#include <cstdint>

namespace morvane::core {

// a × b as a byte count for the memory service, or -1 when the product is
// above INT_MAX and so cannot be asked for. Both factors are positive.
inline int byte_count(std::int64_t a, std::int64_t b) noexcept {
    const std::int64_t bytes = a * b;  // both below 2^32: no 64-bit overflow
    return bytes > INT_MAX ? -1 : static_cast<int>(bytes);
}

}  // namespace morvane::core

#endif
