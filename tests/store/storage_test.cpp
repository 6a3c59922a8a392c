// Record storage byte for byte. Growth, failed growth and the position
// after deletions are compared with the reference model in tests/model.
#include "table_test.h"

// Records of every size from 1 to 80 bytes survive storing, growth, fetching
// by key, walking both ways and rewriting in place byte for byte: records
// are copied word-wise below some sizes and by the C library above.
TEST(StoreRecordSizes, EveryByteOfEverySizeRoundTrips) {
    for (int rsiz = 1; rsiz <= 80; ++rsiz) {
        SCOPED_TRACE("rsiz " + std::to_string(rsiz));
        const int t = tableNew(rsiz, KEY_STRING, KEY_UNIQUE, 1, 0, 0);
        ASSERT_GE(t, 0);
        const auto pattern = [rsiz](int k, int salt) {
            std::string r(static_cast<std::size_t>(rsiz), '\0');
            for (int i = 0; i < rsiz; ++i) r[static_cast<std::size_t>(i)] = static_cast<char>(k * 7 + i * 13 + salt);
            r[0] = static_cast<char>(k + 1);  // the one-byte text key: 1..120
            return r;
        };
        constexpr int kCount = 120;  // past the first 100 slots: one growth
        for (int k = kCount - 1; k >= 0; --k) ASSERT_EQ(tableAdd(t, pattern(k, 0).data()), 1);

        std::string buf(static_cast<std::size_t>(rsiz) + 16, '\x5a');
        for (int k = 0; k < kCount; k += 17) {
            buf.replace(0, 1, 1, static_cast<char>(k + 1));
            ASSERT_EQ(tableGet(t, REC_KEY, buf.data()), 1);
            EXPECT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 0));
            EXPECT_EQ(buf.substr(static_cast<std::size_t>(rsiz)), std::string(16, '\x5a'));  // nothing past rsiz
        }

        ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
        for (int k = 0; k < kCount; ++k) ASSERT_EQ(tableUpdate(t, pattern(k, 1).data()), 1);
        ASSERT_EQ(tableSeek(t, REC_FIRST, nullptr), 1);
        for (int k = 0; k < kCount; ++k) {
            ASSERT_EQ(tableNext(t, buf.data()), 1);
            ASSERT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 1));
        }
        ASSERT_EQ(tableSeek(t, REC_LAST, nullptr), 1);
        for (int k = kCount - 1; k >= 0; --k) {
            ASSERT_EQ(tablePrev(t, buf.data()), 1);
            ASSERT_EQ(buf.substr(0, static_cast<std::size_t>(rsiz)), pattern(k, 1));
        }
        EXPECT_EQ(tableFree(t), 1);
    }
    EXPECT_EQ(tableErr(9), TERR_NONE);
}
