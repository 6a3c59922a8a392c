// refused: the key must be the first member
// A text key that is not first.
#include <cstdint>
#include "morvane.hpp"
struct Record { std::int32_t id; char name[8]; };
morvane::Table<Record, &Record::name> table;
