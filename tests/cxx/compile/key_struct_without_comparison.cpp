// refused: or the table needs a comparison function
// A composite key without the caller's comparison.
#include "morvane.hpp"
struct Pair { int a; int b; };
struct Record { Pair key; int value; };
morvane::Table<Record, &Record::key> table;
