// The library serves one thread at a time. In builds with assertions, a
// second thread that enters it while another is inside stops the process
// with a message naming the rule; builds without assertions do not check.
// The first thread is held inside a key search by its table's comparison,
// at level 0 (the untraced path) and at level 1 (the frame); the second
// enters through the untraced path, the frame, tableNew and tableErr.
#include <gtest/gtest.h>

#ifndef NDEBUG

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "morvane.h"

namespace {

enum Stage { kIdle, kArmed, kInside, kReleased };
std::atomic<int> stage{kIdle};

// Once armed, keeps its caller inside the library until released (at most
// five seconds).
int hold(const void *, const void *) {
    int armed = kArmed;
    if (stage.compare_exchange_strong(armed, kInside))
        for (int ms = 0; ms < 5000 && stage == kInside; ++ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

void second_thread_enters(int level, const std::function<void(int other)> &call) {
    tableSetDebug(level);
    const int held = tableNew(8, KEY_USER, KEY_UNIQUE, reinterpret_cast<std::intptr_t>(&hold), 0, 0);
    const int other = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    char rec[8] = {};
    tableAdd(held, rec);
    tableAdd(other, rec);
    stage = kArmed;
    std::thread first([held] {
        char key[8] = {};
        tableSeek(held, REC_KEY, key);
    });
    while (stage != kInside) std::this_thread::yield();
    call(other);
    stage = kReleased;
    first.join();
}

}  // namespace

// The rule is about being inside at once: threads that take turns are served.
TEST(Threads, ThreadsTakingTurnsAreServed) {
    const int id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    std::thread([id] { EXPECT_EQ(tableCount(id), 0); }).join();
    EXPECT_EQ(tableFree(id), 1);
}

TEST(ThreadsDeathTest, ASecondThreadInsideTheLibraryStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::function<void(int)> calls[] = {
        [](int other) { tableCount(other); }, [](int other) { tableNext(other, std::string(8, '\0').data()); },
        [](int) { tableCount(1 << 20); }, [](int) { tableNew(4, KEY_INT, KEY_UNIQUE, 4, 0, 0); },
        [](int) { tableErr(-1); }};
    for (const int level : {0, 1})
        for (const auto &call : calls)
            EXPECT_DEATH(second_thread_enters(level, call), "two threads inside the library at once")
                << "level " << level << ", call " << &call - calls;
}

#endif
