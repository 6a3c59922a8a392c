/* A C program built against the installed library through pkg-config. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <morvane.h>

struct symbol {
    char name[8];
    int32_t value;
};

int main(void) {
    static const char *const names[] = {"gamma", "alpha", "beta"};
    struct symbol s;
    int id = tableNew((int)sizeof s, KEY_STRING, KEY_UNIQUE, 8, 0, 0);
    int i;
    if (id < 0) return 1;
    for (i = 0; i < 3; ++i) {
        memset(&s, 0, sizeof s);
        strncpy(s.name, names[i], sizeof s.name);
        s.value = i + 1;
        if (tableAdd(id, &s) != 1) return 2;
    }
    printf("morvane %d.%d.%d\n", MORVANE_VERSION_MAJOR, MORVANE_VERSION_MINOR,
           MORVANE_VERSION_PATCH);
    tableSeek(id, REC_FIRST, NULL);
    while (tableNext(id, &s) == 1) printf("%.8s %d\n", s.name, (int)s.value);
    tableFree(id);
    return tableErr(-1) == TERR_NONE ? 0 : 3;
}
