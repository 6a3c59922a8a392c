// The public header as C++, in a host that defines only part of the memory
// service: the library must use none of it, since it binds all three
// functions or none.
#include "morvane.h"

extern "C" void *mallocMem(int) { return nullptr; }
#ifdef WITH_REALLOC
extern "C" void *reallocMem(void *, int) { return nullptr; }
#endif

int main() {
    const int id = tableNew(4, KEY_INT, KEY_UNIQUE, 4, 1, 1);
    return id == 0 && tableCount(id) == 0 && tableFree(id) == 1 ? 0 : 1;
}
