// morvane-calls: makes a given number of calls of one operation, at trace
// level 0, so that bench/callcount can count the instructions one call runs
// under callgrind. Every result is checked; a wrong one exits with status 1.
//
//   morvane-calls OP RSIZ CALLS
//
// OP is one of
//   count   tableCount of a table of 1000 records;
//   append  tableAdd of keys in ascending order into a table made with room
//           for all CALLS records;
//   next    tableNext over a table of 1000 records, a whole forward walk
//           (tableSeek(REC_FIRST), then 1000 steps) at a time;
//   prev    tablePrev, whole backward walks from tableSeek(REC_LAST);
//   get     tableGet(REC_KEY) of every key of a table of 1000 records, in a
//           fixed shuffled order.
// RSIZ is the record size (the key is a 4-byte integer at its start); CALLS
// a multiple of 1000.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "morvane.h"

namespace {

constexpr int kRecords = 1000;

int fail(const char *what) {
    std::fprintf(stderr, "morvane-calls: %s\n", what);
    return 1;
}

// Record k of the table: key 2k, the rest of the record filled from k.
void make_record(unsigned char *rec, int rsiz, int k) {
    std::memset(rec, k & 0xff, static_cast<std::size_t>(rsiz));
    const std::int32_t key = 2 * k;
    std::memcpy(rec, &key, sizeof key);
}

std::int32_t key_of(const unsigned char *rec) {
    std::int32_t key;
    std::memcpy(&key, rec, sizeof key);
    return key;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) return fail("usage: morvane-calls count|append|next|prev|get RSIZ CALLS");
    const std::string op = argv[1];
    const int rsiz = std::atoi(argv[2]);
    const long calls = std::atol(argv[3]);
    if (rsiz < 4 || calls <= 0 || calls % kRecords != 0) return fail("bad RSIZ or CALLS");
    tableSetDebug(0);
    std::vector<unsigned char> rec(static_cast<std::size_t>(rsiz));
    const int records = op == "append" ? static_cast<int>(calls) : kRecords;
    const int id = tableNew(rsiz, KEY_INT, KEY_UNIQUE, 4, records, 50);
    if (id < 0) return fail("tableNew failed");
    long wrong = 0;
    if (op == "append") {
        for (int k = 0; k < records; ++k) {
            make_record(rec.data(), rsiz, k);
            wrong += tableAdd(id, rec.data()) != 1;
        }
        wrong += tableCount(id) != records;
    } else {
        for (int k = 0; k < kRecords; ++k) {
            make_record(rec.data(), rsiz, k);
            if (tableAdd(id, rec.data()) != 1) return fail("setup tableAdd failed");
        }
        if (op == "count") {
            for (long i = 0; i < calls; ++i) wrong += tableCount(id) != kRecords;
        } else if (op == "next" || op == "prev") {
            const bool forward = op == "next";
            for (long pass = 0; pass < calls / kRecords; ++pass) {
                tableSeek(id, forward ? REC_FIRST : REC_LAST, nullptr);
                for (int k = 0; k < kRecords; ++k) {
                    const int r = forward ? tableNext(id, rec.data()) : tablePrev(id, rec.data());
                    wrong += r != 1 || key_of(rec.data()) != 2 * (forward ? k : kRecords - 1 - k);
                }
            }
        } else if (op == "get") {
            // Every key once per round, in the order k * 7919 mod 1000 (7919
            // is prime to 1000), so that the searches take every path.
            for (long i = 0; i < calls; ++i) {
                const int k = static_cast<int>((i * 7919) % kRecords);
                const std::int32_t key = 2 * k;
                std::memcpy(rec.data(), &key, sizeof key);
                wrong += tableGet(id, REC_KEY, rec.data()) != 1 || rec.back() != (k & 0xff);
            }
        } else {
            return fail("unknown OP");
        }
    }
    tableFree(id);
    if (wrong != 0) return fail("a call returned a wrong result");
    return 0;
}
