/*
 * A tour of morvane: an order book of price levels, a symbol table, a trade
 * log with a composite key, and a short look at the library's trace.
 *
 * Every table keeps fixed-size records sorted by a key at the start of each
 * record, and has one current position that lookups set and walks move.
 * Results go to standard output; the library's trace and warnings go to
 * standard error.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "morvane.h"

/* One resting order. The key, the price in cents, comes first. */
struct order {
    int32_t price;
    int32_t qty;
    char trader[8];
};

/* One listed instrument, keyed by its ticker (at most 8 bytes). */
struct symbol {
    char ticker[8];
    char name[24];
};

/* One trade, ordered by ticker and then by sequence number: a key of two
 * parts that only the caller's comparison understands. */
struct trade {
    char ticker[8];
    int32_t seq;
    int32_t price;
    int32_t qty;
};

static int compare_trades(const void *record, const void *key) {
    const struct trade *r = (const struct trade *)record;
    const struct trade *k = (const struct trade *)key;
    int c = strncmp(r->ticker, k->ticker, sizeof r->ticker);
    if (c != 0) return c;
    return (r->seq > k->seq) - (r->seq < k->seq);
}

/* Stops the demo when the library does not do what the text says. */
static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "demo: unexpected result: %s\n", what);
        exit(1);
    }
}

/* Copies `text` into a zeroed field of `size` bytes; a text that fills the
 * field keeps no terminating NUL, as fixed-length keys allow. */
static void set_text(char *field, size_t size, const char *text) {
    size_t n = strlen(text);
    memcpy(field, text, n < size ? n : size);
}

static void show_order(const struct order *o) {
    printf("    %3d.%02d  %4d  %s\n", o->price / 100, o->price % 100, o->qty, o->trader);
}

static void add_order(int book, int32_t price, int32_t qty, const char *trader) {
    struct order o;
    memset(&o, 0, sizeof o);
    o.price = price;
    o.qty = qty;
    set_text(o.trader, sizeof o.trader - 1, trader);
    check(tableAdd(book, &o) == 1, "tableAdd of an order");
}

/* Forward walk: position on the first record, then tableNext until it
 * answers 0. */
static void walk_forward(int book) {
    struct order o;
    if (!tableSeek(book, REC_FIRST, NULL)) return;
    while (tableNext(book, &o)) show_order(&o);
}

/* Backward walk: position on the last record; tablePrev fetches and steps
 * back, and the fetch made after tableAtStart said yes is record 0. */
static void walk_backward(int book) {
    struct order o;
    int at_start = 0;
    if (!tableSeek(book, REC_LAST, NULL)) return;
    while (!at_start) {
        at_start = tableAtStart(book);
        tablePrev(book, &o);
        show_order(&o);
    }
}

/* Every order at one price. A key search in a table with duplicates lands
 * on some order of the run, so step back to the run's start first. */
static void orders_at(int book, int32_t price) {
    struct order o;
    memset(&o, 0, sizeof o);
    o.price = price;
    if (!tableSeek(book, REC_KEY, &o)) {
        printf("    none\n");
        return;
    }
    while (tableGet(book, REC_PREV, &o)) {
        if (o.price != price) {
            tableSeek(book, REC_NEXT, NULL);
            break;
        }
    }
    while (tableNext(book, &o) && o.price == price) show_order(&o);
}

static void order_book(void) {
    int asks, bids;
    struct order o;

    printf("1. An order book\n");
    printf("   Two tables of orders keyed by a 4-byte price; several orders may\n"
           "   rest at one price, so both keep duplicate keys.\n");
    asks = tableNew((int)sizeof(struct order), KEY_INT, KEY_DUPLICATES, 4, 0, 0);
    bids = tableNew((int)sizeof(struct order), KEY_INT, KEY_DUPLICATES, 4, 0, 0);
    check(asks >= 0 && bids >= 0, "tableNew of the books");
    printf("   tableNew gave table %d for the asks and %d for the bids.\n\n", asks, bids);

    add_order(asks, 10150, 200, "ana");
    add_order(asks, 10125, 100, "bo");
    add_order(asks, 10150, 50, "cy");
    add_order(asks, 10200, 300, "dee");
    add_order(asks, 10150, 75, "eli");
    add_order(bids, 10100, 150, "fay");
    add_order(bids, 10075, 500, "gus");
    add_order(bids, 10100, 25, "hal");
    printf("   %d asks and %d bids added in arrival order, stored by price.\n", tableCount(asks),
           tableCount(bids));

    printf("   Asks, cheapest first (a forward walk):\n");
    walk_forward(asks);
    printf("   Bids, dearest first (a backward walk over the same kind of table):\n");
    walk_backward(bids);

    printf("   Every ask at 101.50 (a key search, then back to the start of the run):\n");
    orders_at(asks, 10150);
    printf("   (Within one price the orders are not in arrival order: a new\n"
           "   duplicate goes in front of the equal record the search meets.)\n");

    check(tableGet(asks, REC_FIRST, &o) == 1, "tableGet of the best ask");
    printf("   A buyer takes the best ask, %d.%02d x %d from %s: tableDel(REC_FIRST).\n", o.price / 100,
           o.price % 100, o.qty, o.trader);
    check(tableDel(asks, REC_FIRST, NULL) == 1, "tableDel of the best ask");

    check(tableGet(asks, REC_FIRST, &o) == 1, "tableGet of the next best ask");
    printf("   Then 30 of the next one, %s's: tableUpdate rewrites it in place.\n", o.trader);
    o.qty -= 30;
    check(tableUpdate(asks, &o) == 1, "tableUpdate of a partial fill");
    printf("   Asks now:\n");
    walk_forward(asks);

    tableFree(asks);
    tableFree(bids);
    printf("\n");
}

static void add_symbol(int table, const char *ticker, const char *name) {
    struct symbol s;
    memset(&s, 0, sizeof s);
    set_text(s.ticker, sizeof s.ticker, ticker);
    set_text(s.name, sizeof s.name - 1, name);
    check(tableAdd(table, &s) == 1, "tableAdd of a symbol");
}

static void list_symbols(int table) {
    struct symbol s;
    if (!tableSeek(table, REC_FIRST, NULL)) return;
    while (tableNext(table, &s)) printf("    %-8.8s %s\n", s.ticker, s.name);
}

static int symbol_table(void) {
    int table, added, code, found;
    struct symbol s;

    printf("2. A symbol table\n");
    printf("   Keyed by an 8-byte ticker text; each ticker may appear once.\n");
    table = tableNew((int)sizeof(struct symbol), KEY_STRING, KEY_UNIQUE, 8, 0, 0);
    check(table >= 0, "tableNew of the symbol table");
    add_symbol(table, "CRUX", "Crux Mining");
    add_symbol(table, "ACME", "Acme Corporation");
    add_symbol(table, "DYNA", "Dynamo Power");
    add_symbol(table, "BOLT", "Bolt Logistics");
    list_symbols(table);

    memset(&s, 0, sizeof s);
    set_text(s.ticker, sizeof s.ticker, "ACME");
    set_text(s.name, sizeof s.name - 1, "Acme again");
    added = tableAdd(table, &s);
    code = tableErr(-1);
    printf("   Adding ACME a second time: tableAdd answers %d, and no error is\n"
           "   recorded (tableErr(-1) reads %d, TERR_NONE).\n",
           added, code);

    memset(&s, 0, sizeof s);
    set_text(s.ticker, sizeof s.ticker, "BOLT");
    check(tableGet(table, REC_KEY, &s) == 1, "tableGet of BOLT");
    printf("   Looking up BOLT: %s.\n", s.name);
    memset(s.name, 0, sizeof s.name);
    set_text(s.name, sizeof s.name - 1, "Bolt Freight");
    check(tableSet(table, &s) == 1, "tableSet of BOLT");
    printf("   Renamed with tableSet; BOLT is now %s.\n", s.name);

    memset(&s, 0, sizeof s);
    set_text(s.ticker, sizeof s.ticker, "BRIX");
    found = tableGet(table, REC_KEY, &s);
    tableNext(table, &s);
    printf("   Looking up BRIX: tableGet answers %d. The search leaves the position\n"
           "   where BRIX would go, so tableNext fetches the ticker after it: ",
           found);
    printf("%.8s.\n\n", s.ticker);
    return table;
}

static void add_trade(int table, const char *ticker, int32_t seq, int32_t price, int32_t qty) {
    struct trade t;
    memset(&t, 0, sizeof t);
    set_text(t.ticker, sizeof t.ticker, ticker);
    t.seq = seq;
    t.price = price;
    t.qty = qty;
    check(tableAdd(table, &t) == 1, "tableAdd of a trade");
}

static void show_trade(const struct trade *t) {
    printf("    %-4.8s #%d  %3d.%02d x %d\n", t->ticker, t->seq, t->price / 100, t->price % 100, t->qty);
}

static void trade_log(void) {
    int table, at_start = 0;
    struct trade t;

    printf("3. A trade log with a composite key\n");
    printf("   Ordered by ticker, then sequence number, through the caller's\n"
           "   comparison function (KEY_USER).\n");
    table = tableNew((int)sizeof(struct trade), KEY_USER, KEY_UNIQUE, (intptr_t)compare_trades, 0, 0);
    check(table >= 0, "tableNew of the trade log");
    add_trade(table, "BOLT", 2, 4410, 10);
    add_trade(table, "ACME", 7, 10125, 100);
    add_trade(table, "BOLT", 1, 4400, 60);
    add_trade(table, "ACME", 3, 10150, 40);
    add_trade(table, "CRUX", 5, 2290, 500);

    printf("   Forwards:\n");
    if (tableSeek(table, REC_FIRST, NULL))
        while (tableNext(table, &t)) show_trade(&t);
    printf("   Backwards:\n");
    if (tableSeek(table, REC_LAST, NULL)) {
        while (!at_start) {
            at_start = tableAtStart(table);
            tablePrev(table, &t);
            show_trade(&t);
        }
    }

    printf("   The BOLT trades: a search for (BOLT, #0) fails and leaves the\n"
           "   position on the first BOLT trade:\n");
    memset(&t, 0, sizeof t);
    set_text(t.ticker, sizeof t.ticker, "BOLT");
    tableSeek(table, REC_KEY, &t);
    while (tableNext(table, &t) && strncmp(t.ticker, "BOLT", sizeof t.ticker) == 0) show_trade(&t);
    tableFree(table);
    printf("\n");
}

static void trace_look(int symbols) {
    struct symbol s;
    int count, code;

    printf("4. The trace\n");
    printf("   tableSetDebug(1) makes each call write its entry and exit on\n"
           "   standard error; here around one tableCount:\n");
    fflush(stdout);
    tableSetDebug(1);
    tableCount(symbols);
    tableSetDebug(0);

    printf("   Level 3 adds the definition of the table and the library's inner\n"
           "   steps; here the binary search of one lookup by ticker:\n");
    fflush(stdout);
    memset(&s, 0, sizeof s);
    set_text(s.ticker, sizeof s.ticker, "DYNA");
    tableSetDebug(3);
    tableGet(symbols, REC_KEY, &s);
    tableSetDebug(0);

    tableFree(symbols);
    printf("   Errors write a warning line whatever the level, and the code stays\n"
           "   until cleared. The symbol table is freed; asking for its count now:\n");
    count = tableCount(symbols);
    code = tableErr(TERR_NONE);
    printf("   tableCount answers %d, and tableErr(TERR_NONE) returns the code %d\n"
           "   (TERR_BADID) and clears it.\n",
           count, code);
}

int main(void) {
    int symbols;
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("morvane demo: sorted tables of fixed-size records\n\n");
    order_book();
    symbols = symbol_table();
    trade_log();
    trace_look(symbols);
    return 0;
}
