// refused: a data member of the record type itself
// The key belongs to a base class.
#include <cstdint>
#include "morvane.hpp"
struct Base { std::int32_t key; };
struct Record : Base { std::int32_t value; };
morvane::Table<Record, &Record::key> table;
