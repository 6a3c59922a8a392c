// refused: signed integer of 1, 2 or 4 bytes
// Only char arrays are texts.
#include "morvane.hpp"
struct Record { unsigned char key[6]; };
morvane::Table<Record, &Record::key> table;
