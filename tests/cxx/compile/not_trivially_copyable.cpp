// refused: must be trivially copyable
// A record with a copy constructor of its own.
#include <cstdint>
#include "morvane.hpp"
struct Record {
    std::int32_t key;
    Record() = default;
    Record(const Record &other) : key(other.key + 0) {}
};
morvane::Table<Record, &Record::key> table;
