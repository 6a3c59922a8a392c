// How far the library reads a caller's text key. A C host passes a string
// literal as the key of a lookup; the library may read it up to its NUL or
// its first ftyp bytes, whichever ends first, and nothing after. Each key is
// placed twice: with its last byte the last readable one before a page the
// process may not touch, and in a heap block of its exact size (which
// AddressSanitizer watches). The stored texts share each key's bytes up to
// its end, so that the comparisons run all the way along it.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "morvane.h"
#include "trace_capture.h"

namespace {

const std::string kLetters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMN";

// The searches of one absent key: tableSeek leaves the position where the
// key would go, and tableDel and tableGet find nothing and change nothing.
void look_up_absent(int id, const char *key, const std::vector<std::string> &recs, int ftyp) {
    const auto after = std::find_if(recs.begin(), recs.end(), [&](const std::string &rec) {
        return std::strncmp(rec.data(), key, std::size_t(ftyp)) > 0;
    });
    const std::string text(key, strnlen(key, std::size_t(ftyp)));
    std::string buf(recs[0].size(), '\0');
    EXPECT_EQ(tableSeek(id, REC_KEY, key), 0) << text;
    EXPECT_TRUE(after == recs.end() ? tableAtEnd(id) == 1 : tableNext(id, buf.data()) == 1 && buf == *after) << text;
    EXPECT_EQ(tableDel(id, REC_KEY, key), 0) << text;
    EXPECT_EQ(tableGet(id, REC_KEY, const_cast<char *>(key)), 0) << text;
    EXPECT_EQ(std::string(key, text.size()), text);
    EXPECT_EQ(tableCount(id), int(recs.size()));
}

}  // namespace

TEST(CallerKeys, ATextKeyIsReadOnlyUpToItsNulOrItsWidth) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    void *map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    char *const edge = static_cast<char *>(map) + page;
    ASSERT_EQ(mprotect(edge, page, PROT_NONE), 0);

    for (const int level : {0, 3}) {
        for (const int ftyp : {3, 8, 16, 24, 40}) {
            const int rsiz = ftyp + 5;
            const int id = tableNew(rsiz, KEY_STRING, KEY_UNIQUE, ftyp, 0, 0);
            ASSERT_GE(id, 0);
            // Each run of letters, then a byte above them, in key order: ...
            // "ab~", "a~", "~" (a longer run sorts first).
            std::vector<std::string> recs;
            for (int len = ftyp - 1; len >= 0; --len) {
                std::string rec = kLetters.substr(0, std::size_t(len)) + "~";
                rec.resize(std::size_t(rsiz), char('0' + len % 10));
                if (len + 1 < ftyp) rec[std::size_t(len) + 1] = '\0';
                recs.push_back(rec);
            }
            for (std::string &rec : recs) ASSERT_EQ(tableAdd(id, rec.data()), 1);

            const auto look_up = [&] {
                // Absent: each run of letters with its NUL, and the run of
                // ftyp letters without one.
                for (int len = 0; len <= ftyp; ++len) {
                    const std::string key = kLetters.substr(0, std::size_t(len)) + (len < ftyp ? "\0" : "");
                    const std::size_t bytes = std::size_t(len) + (len < ftyp);
                    std::unique_ptr<char[]> exact(new char[bytes]);
                    for (char *at : {edge - bytes, exact.get()}) {
                        std::memcpy(at, key.c_str(), bytes);
                        look_up_absent(id, at, recs, ftyp);
                    }
                }
                // Found: the record fills a buffer of rsiz bytes, and the
                // byte before the buffer is left alone.
                for (const std::string &rec : recs) {
                    char *const buf = edge - rsiz;
                    buf[-1] = '#';
                    std::memcpy(buf, rec.data(), std::size_t(ftyp));
                    std::memset(buf + ftyp, '?', std::size_t(rsiz - ftyp));
                    EXPECT_EQ(tableGet(id, REC_KEY, buf), 1);
                    EXPECT_EQ(std::string(buf - 1, std::size_t(rsiz) + 1), "#" + rec);
                }
            };
            tableSetDebug(level);
            level ? (void)trace_of(look_up) : look_up();  // the trace is not checked here
            tableSetDebug(0);
            std::string buf(std::size_t(rsiz), '\0');
            tableSeek(id, REC_FIRST, nullptr);
            for (const std::string &rec : recs) EXPECT_TRUE(tableNext(id, buf.data()) == 1 && buf == rec);
            EXPECT_EQ(tableFree(id), 1);
        }
    }
    munmap(map, 2 * page);
}
