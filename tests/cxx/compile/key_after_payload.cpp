// refused: the key must be the first member
// The key follows a payload: it is not at offset 0.
#include <cstdint>
#include "morvane.hpp"
struct Record { char payload[4]; std::int32_t key; };
morvane::Table<Record, &Record::key> table;
