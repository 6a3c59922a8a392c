/*
 * morvane.h - sorted in-memory tables of fixed-size records.
 *
 * A table is a sequence of fixed-size records kept in ascending order of a key
 * that occupies the first bytes of every record: a signed integer of 1, 2 or 4
 * bytes (KEY_INT), a text of a fixed maximum length (KEY_STRING), or a key
 * ordered by a comparison function of the caller's (KEY_USER). A table either
 * refuses a second record with an equal key (KEY_UNIQUE) or keeps it
 * (KEY_DUPLICATES). Each table has one current position, which lookups set
 * and the sequential operations move.
 *
 * This header is the library's whole public face; anything not declared here
 * is internal.
 *
 * Library-wide state. The tables, the sticky error code and the trace level
 * are shared by every module of the process. The library serves one thread at
 * a time: callers that share it between threads must serialise their calls.
 * A build of the library with assertions (without NDEBUG) checks this: a
 * second thread that calls in while another is inside stops the process
 * with the line "morvane: two threads inside the library at once; it serves
 * one thread at a time".
 *
 * Errors. Every failure shows in the operation's result and is recorded in
 * one sticky error code (TERR_*), together with the line
 *   "Warning : internal table error detected ( code = N )"
 * on standard error. No operation clears the code on success: it keeps the
 * last failure until tableErr(TERR_NONE) resets it, so a value read after a
 * successful call may be stale.
 *
 * Trace. tableSetDebug(level) makes the library describe its own work on
 * standard error: 1 adds the entry and exit line of each call, 2 adds a dump
 * of the table's stored definition around each call, 3 adds the lines of the
 * internal routines (id checks, key searches, record moves and copies).
 * Level 0, the default, writes only the warning lines of recorded errors.
 *
 * Memory. Every block comes from the host's memory service when the host
 * process defines all three of
 *   void *mallocMem(int bytes);
 *   void *reallocMem(void *block, int bytes);
 *   void  freeMem(void *block);
 * with C linkage; otherwise from malloc, realloc and free.
 *
 * What the library asks of its host.
 * - Blocks from the memory service are aligned as malloc's are: the library
 *   keeps its own structures in them.
 * - Neither the memory service nor a TableCompareFn may call back into the
 *   library: the call that reached them is midway through changing a table
 *   or the registry.
 * - Lines go to standard error through C stdio, and a failed write is
 *   ignored: a closed pipe raises no SIGPIPE in the host because of the
 *   library. If the host makes standard error buffered, the library's lines
 *   come out when the host flushes it.
 */
#ifndef MORVANE_H
#define MORVANE_H

#include <stdint.h>

/* Version of the project: this header, morvane.hpp and the library, by
 * semantic versioning (the major number changes when either header breaks
 * code written against it). */
#define MORVANE_VERSION_MAJOR 2
#define MORVANE_VERSION_MINOR 0
#define MORVANE_VERSION_PATCH 0

/* Version of the C ABI, apart from the project's: the library's soname is
 * libmorvane.so.MORVANE_SOVERSION and its package libmorvaneMORVANE_SOVERSION.
 * It changes only when a program built against an older morvane.h could no
 * longer run. */
#define MORVANE_SOVERSION 1

#if defined(MORVANE_BUILDING_LIBRARY) && defined(__GNUC__)
#define MORVANE_API __attribute__((visibility("default")))
#else
#define MORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Key types: the `ktyp` of tableNew. */
#define KEY_INT 0    /* signed integer of `ftyp` bytes: 1, 2 or 4 */
#define KEY_STRING 1 /* text of at most `ftyp` bytes, compared as strncmp */
#define KEY_USER 2   /* ordered by the TableCompareFn passed as `ftyp` */

/* Key modes: the `kmod` of tableNew. */
#define KEY_UNIQUE 0     /* a second record with an equal key is refused */
#define KEY_DUPLICATES 1 /* equal keys are kept next to each other */

/* Record selectors: the `recid` of tableGet, tableSeek and tableDel. Any
 * other value (0 or more, or below -6) searches by key like REC_KEY. */
#define REC_FIRST -1   /* the first record */
#define REC_CURRENT -2 /* the record at the current position */
#define REC_LAST -3    /* the last record */
#define REC_KEY -4     /* the record whose key equals the buffer's key */
#define REC_PREV -5    /* the record before the current position */
#define REC_NEXT -6    /* the record after the current position */

/* Error codes, as recorded in the sticky code and returned by tableErr. */
#define TERR_NONE 1     /* no error recorded */
#define TERR_NOMEM 2    /* the memory service failed, or a size overflowed */
#define TERR_BADID 3    /* a table id names no table */
#define TERR_BADSIZE 4  /* tableNew: record size of 0 or less */
#define TERR_BADKTYP 5  /* tableNew: key type not 0, 1 or 2 */
#define TERR_BADKMOD 6  /* tableNew: key mode not 0 or 1 */
#define TERR_BADFTYP 7  /* tableNew: key field does not suit the key type */

/* Every code tableErr stores, in ascending order, as
 *   NAMED(code, identifier, meaning)    for the codes above, and
 *   UNNAMED(code, identifier, meaning)  for code 8, which has no name: the
 *                                       library never records it, a caller
 *                                       may store it with tableErr.
 * `identifier` is a lower-case word for language bindings, `meaning` a short
 * text. Tables of names and descriptions are built from this one list. */
#define MORVANE_ERRORS(NAMED, UNNAMED)                           \
    NAMED(TERR_NONE, none, "no error")                           \
    NAMED(TERR_NOMEM, no_memory, "out of memory")                \
    NAMED(TERR_BADID, bad_id, "no such table")                   \
    NAMED(TERR_BADSIZE, bad_size, "bad record size")             \
    NAMED(TERR_BADKTYP, bad_key_type, "bad key type")            \
    NAMED(TERR_BADKMOD, bad_key_mode, "bad key mode")            \
    NAMED(TERR_BADFTYP, bad_key_field,                           \
          "key field does not suit the key type")                \
    UNNAMED(8, caller, "error set by the caller")

/* Sizing: tableNew makes room for at least MORVANE_MIN_RECS records and a
 * full table grows by at least MORVANE_MIN_RINC slots. */
#define MORVANE_MIN_RECS 100
#define MORVANE_MIN_RINC 50

/* The caller's ordering of a KEY_USER table: negative, zero or positive as
 * the key of `record` (a record in the table) sorts before, equal to or after
 * the key in `key` (the caller's buffer). It must not call the library. */
typedef int (*TableCompareFn)(const void *record, const void *key);

/* tableNew() : creates an empty table of `rsiz`-byte records.
 * `ktyp` and `kmod` are a KEY_* type and mode. `ftyp` is the key width for
 * KEY_INT (1, 2 or 4, at most `rsiz`), the key length for KEY_STRING (1 to
 * `rsiz`) and, for KEY_USER, the TableCompareFn cast to intptr_t. Room is
 * made for `recs` records (at least 100); a full table grows by `rinc` slots
 * (at least 50).
 * @return : the new table id (0 or more; the lowest free id is reused), or
 *           -1 with TERR_BADSIZE, TERR_BADKTYP, TERR_BADFTYP, TERR_BADKMOD
 *           (checked in that order) or TERR_NOMEM. */
MORVANE_API int tableNew(int rsiz, int ktyp, int kmod, intptr_t ftyp, int recs,
                         int rinc);

/* tableFree() : releases the table and its records; its id may be reused.
 * @return : 1, also for an invalid id (then with TERR_BADID). */
MORVANE_API int tableFree(int tabid);

/* tableCount() :
 * @return : the number of records in the table, or -1 with TERR_BADID. */
MORVANE_API int tableCount(int tabid);

/* tableErr() : reads or sets the sticky error code.
 * `err` 0 reads it and, when an error is pending, writes its warning line
 * again; TERR_NONE clears it; 2 to 8 record that code and write its warning;
 * any other value only reads it.
 * @return : the code that stood before the call. */
MORVANE_API int tableErr(int err);

/* tableSetDebug() : sets the trace level (0 or less: off; 1, 2, 3: see the
 * top of this header). No result, no line written. */
MORVANE_API void tableSetDebug(int level);

/* tablePrint() : writes the stored definition of table `tabid` on standard
 * error whatever the trace level. Records no error; an id that names no
 * table slot prints all fields as 0. */
MORVANE_API void tablePrint(int tabid);

/* Caller buffers. `rptr` holds a record, its key first, or only a key. An
 * operation reads and writes no bytes through `rptr` but these, and keeps no
 * pointer to it after it returns:
 * - tableAdd, tableSet and tableUpdate may read the `rsiz` bytes at `rptr`;
 *   they write none.
 * - tableGet and tableNext write the `rsiz` bytes at `rptr` when they copy a
 *   record, and none when they copy nothing; tablePrev writes them on every
 *   call with a valid id.
 * - A key search (tableGet, tableSeek and tableDel with a key selector)
 *   reads the key alone: the first `ftyp` bytes of a KEY_INT key; the bytes
 *   of a KEY_STRING key up to and including its first NUL, or its first
 *   `ftyp` bytes when none of them is NUL (so a string literal shorter than
 *   `ftyp` is a whole key); for KEY_USER, what the TableCompareFn reads.
 * So tableSeek and tableDel need a buffer only as long as the key they
 * search for, and tableGet one of `rsiz` bytes whenever the key may be in
 * the table, as it then copies the record over it. */

/* Keyed access. The table's current position is left on the record found
 * or changed; after a failed key search it is the place where the key would
 * be inserted. In a KEY_DUPLICATES table a key search stops at the first
 * equal record the binary search meets, which need not be the first of its
 * run. A lookup that finds nothing records no error. An operation that must
 * read or write a record through a null `rptr` does nothing and returns 0. */

/* tableAdd() : inserts a copy of the record at `rptr` in key order; in a
 * KEY_DUPLICATES table in front of the equal record the search met.
 * @return : 1, with the position on the new record; 0 when the key is
 *           already in a KEY_UNIQUE table (position on that record, no error
 *           code), on TERR_NOMEM (storage could not grow; table unchanged) or
 *           TERR_BADID. */
MORVANE_API int tableAdd(int tabid, const void *rptr);

/* tableSet() : overwrites the record whose key equals the key at `rptr` with
 * all `rsiz` bytes at `rptr`; the table is not re-sorted.
 * @return : 1 when a record was replaced; 0 when the key is absent (position
 *           at its insertion point) or with TERR_BADID. */
MORVANE_API int tableSet(int tabid, const void *rptr);

/* tableGet() : copies the record chosen by selector `recid` (REC_*; any
 * other value searches for the key at `rptr`) into `rptr`.
 * @return : 1 with the position on that record; 0 when there is none (the
 *           buffer is left as it was) or with TERR_BADID. */
MORVANE_API int tableGet(int tabid, int recid, void *rptr);

/* tableSeek() : positions the table by selector `recid`, copying nothing.
 * `rptr` is read only by a key search and may otherwise be null.
 * @return : 1 when the position names a record; 0 otherwise (on an empty
 *           table, whatever the selector) or with TERR_BADID. */
MORVANE_API int tableSeek(int tabid, int recid, const void *rptr);

/* tableDel() : deletes the record chosen by selector `recid`. `rptr` is read
 * only by a key search and may otherwise be null.
 * @return : 1 with the position on the record that followed the deleted one
 *           (or on the new last record); 0 when there is none or with
 *           TERR_BADID. */
MORVANE_API int tableDel(int tabid, int recid, const void *rptr);

/* Sequential access through the current position. Positions run from 0 to
 * the record count; the count itself is the place after the last record.
 * A forward walk: tableSeek(REC_FIRST), then tableNext until it returns 0.
 * A backward walk: tableSeek(REC_LAST) (0 on an empty table: nothing to
 * walk), then, while the previous tableAtStart answered 0, tablePrev; the
 * tablePrev made after tableAtStart answers 1 fetches record 0 and ends it.
 * tableNext copies before it moves, whereas tableGet(REC_NEXT) moves before
 * it copies. A null `rptr` makes tableNext, tablePrev and tableUpdate do
 * nothing and return 0. */

/* tableNext() : copies the record at the position into `rptr` and steps
 * forward.
 * @return : 1; 0 at the end (nothing copied, position kept) or with
 *           TERR_BADID. */
MORVANE_API int tableNext(int tabid, void *rptr);

/* tablePrev() : copies the record at the position (the last record when the
 * position is at the end) into `rptr` and steps back, staying at 0. On an
 * empty table the bytes copied are no record.
 * @return : 1 for every valid id; 0 with TERR_BADID. */
MORVANE_API int tablePrev(int tabid, void *rptr);

/* tableUpdate() : overwrites the record at the position with all `rsiz`
 * bytes at `rptr` and steps forward. The table is not re-sorted: a new key
 * must sort where the old one did.
 * @return : 1; 0 at the end (nothing stored, position kept) or with
 *           TERR_BADID. */
MORVANE_API int tableUpdate(int tabid, const void *rptr);

/* tableAtStart() :
 * @return : 1 when the position is 0 or the id is invalid (TERR_BADID),
 *           else 0. */
MORVANE_API int tableAtStart(int tabid);

/* tableAtEnd() :
 * @return : 1 when the position is past the last record or the id is invalid
 *           (TERR_BADID), else 0. */
MORVANE_API int tableAtEnd(int tabid);

#ifdef __cplusplus
}
#endif

#endif /* MORVANE_H */
