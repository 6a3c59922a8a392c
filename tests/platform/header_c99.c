/* The public header alone, as strict C99, and a C program using it. */
#include "morvane.h"

#include <stdio.h>

static int failures = 0;

#define EXPECT_EQ_INT(got, want)                                                   \
    do {                                                                           \
        int got_ = (got);                                                          \
        if (got_ != (want)) {                                                      \
            fprintf(stdout, "%s:%d: %s is %d, expected %d\n", __FILE__, __LINE__, #got, \
                    got_, (want));                                                 \
            ++failures;                                                            \
        }                                                                          \
    } while (0)

/* The error list expands in C: codes ascending from 1 to 8, every one with
 * a meaning. */
#define CODE(code, identifier, meaning) code,
static const int codes[] = {MORVANE_ERRORS(CODE, CODE)};
#define MEANING(code, identifier, meaning) meaning,
static const char *const meanings[] = {MORVANE_ERRORS(MEANING, MEANING)};

int main(void) {
    int i;
    for (i = 0; i < (int)(sizeof codes / sizeof codes[0]); ++i) {
        EXPECT_EQ_INT(codes[i], i + 1);
        EXPECT_EQ_INT(meanings[i][0] != '\0', 1);
    }
    EXPECT_EQ_INT((int)(sizeof codes / sizeof codes[0]), 8);
    int id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    EXPECT_EQ_INT(id, 0);
    EXPECT_EQ_INT(tableCount(id), 0);
    EXPECT_EQ_INT(tableErr(0), TERR_NONE);
    EXPECT_EQ_INT(tableFree(id), 1);
    EXPECT_EQ_INT(tableCount(id), -1);
    EXPECT_EQ_INT(tableErr(TERR_NONE), TERR_BADID);
    EXPECT_EQ_INT(REC_NEXT, -6);
    EXPECT_EQ_INT(TERR_BADFTYP, 7);
    return failures == 0 ? 0 : 1;
}
