// refused: signed integer of 1, 2 or 4 bytes
// Unsigned keys would sort differently from their values.
#include <cstdint>
#include "morvane.hpp"
struct Record { std::uint32_t key; std::int32_t value; };
morvane::Table<Record, &Record::key> table;
