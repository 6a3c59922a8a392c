// refused: signed integer of 1, 2 or 4 bytes
// A floating-point key needs a comparison of the caller.
#include "morvane.hpp"
struct Record { float key; int value; };
morvane::Table<Record, &Record::key> table;
