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

int main(void) {
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
