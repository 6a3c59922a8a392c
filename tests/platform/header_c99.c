/* The public header alone as strict C99, its error list expanded in C, and a
   program that defines no memory service: the library falls back to the C
   allocator, registry growth included. */
#include "morvane.h"

#include <stdio.h>
#include <string.h>

#define CODE(code, identifier, meaning) code,
#define MEANING(code, identifier, meaning) meaning,
static const int codes[] = {MORVANE_ERRORS(CODE, CODE)};
static const char *const meanings[] = {MORVANE_ERRORS(MEANING, MEANING)};

int main(void) {
    char rec[12] = "key1payload", back[12] = "key1";
    int i, ok = sizeof codes / sizeof codes[0] == 8;
    for (i = 0; i < 8; ++i) ok &= codes[i] == i + 1 && meanings[i][0] != '\0';
    for (i = 0; i < 101; ++i) ok &= tableNew(12, KEY_STRING, KEY_UNIQUE, 4, 0, 0) == i;
    ok &= tableAdd(100, rec) == 1 && tableGet(100, REC_KEY, back) == 1 && memcmp(rec, back, 12) == 0;
    for (i = 0; i < 101; ++i) ok &= tableFree(i) == 1;
    ok &= tableErr(0) == TERR_NONE;
    if (!ok) puts("the header's error list or the C allocator fallback is wrong");
    return ok ? 0 : 1;
}
