// refused: the key must be the first member
// The key has the type of the first member but is the second one.
#include <cstdint>
#include "morvane.hpp"
struct Record { std::int32_t first; std::int32_t key; };
morvane::Table<Record, &Record::key> table;
