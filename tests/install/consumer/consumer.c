/* A C program built against the installed library through pkg-config. */
#include <stdio.h>

#include <morvane.h>

int main(void) {
    int key, id = tableNew((int)sizeof key, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    for (key = 3; key > 0; --key) tableAdd(id, &key);
    tableSeek(id, REC_FIRST, NULL);
    while (tableNext(id, &key)) printf("%d\n", key);
    return tableFree(id) == 1 && tableErr(-1) == TERR_NONE ? 0 : 1;
}
