// refused: signed integer of 1, 2 or 4 bytes
// Eight-byte integers are no key type of the library.
#include <cstdint>
#include "morvane.hpp"
struct Record { std::int64_t key; };
morvane::Table<Record, &Record::key> table;
