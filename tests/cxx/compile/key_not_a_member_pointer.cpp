// refused: pointer to a data member
// The key must be named by a member pointer.
#include <cstdint>
#include "morvane.hpp"
struct Record { std::int32_t key; };
morvane::Table<Record, 0> table;
