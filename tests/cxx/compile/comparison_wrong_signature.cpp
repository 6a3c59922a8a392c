// refused: the comparison must be callable as
// A comparison that takes one argument.
#include "morvane.hpp"
struct Pair { int a; int b; };
struct Record { Pair key; int value; };
int compare(const Pair &a) { return a.a; }
morvane::Table<Record, &Record::key, compare> table;
