// A host whose standard error is a pipe nobody reads: the library's lines
// fail to go out, and that must not end the host, change its errno, take a
// SIGPIPE the host had pending, or touch its tables.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "morvane.h"

namespace {

struct Rec {
    std::int32_t key;
    std::int32_t payload;
};

bool pipe_signal_pending() {
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
}

TEST(PlatformSigpipe, ReaderlessStderrEndsNoHost) {
    ASSERT_NE(signal(SIGPIPE, SIG_DFL), SIG_ERR);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const int saved_stderr = dup(2);
    ASSERT_GE(saved_stderr, 0);
    ASSERT_EQ(dup2(fds[1], 2), 2);
    close(fds[1]);

    const int id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    for (int level = 0; level <= 3; ++level) {
        tableSetDebug(level);
        const Rec rec{level, 10 * level};
        errno = EINTR;
        EXPECT_EQ(tableAdd(id, &rec), 1) << "level " << level;
        EXPECT_EQ(tableCount(-1), -1);  // a warning line, at every level
        EXPECT_EQ(errno, EINTR) << "level " << level;
    }
    tableSetDebug(0);

    // The host's own SIGPIPE, blocked and pending, outlives a failed write.
    sigset_t pipe_only, previous;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &pipe_only, &previous), 0);
    ASSERT_EQ(raise(SIGPIPE), 0);
    EXPECT_EQ(tableErr(0), TERR_BADID);  // repeats the warning line
    EXPECT_TRUE(pipe_signal_pending());
    const timespec no_wait{};
    EXPECT_EQ(sigtimedwait(&pipe_only, nullptr, &no_wait), SIGPIPE);
    ASSERT_EQ(sigprocmask(SIG_SETMASK, &previous, nullptr), 0);

    ASSERT_EQ(dup2(saved_stderr, 2), 2);
    close(saved_stderr);

    ASSERT_EQ(tableCount(id), 4);
    ASSERT_EQ(tableSeek(id, REC_FIRST, nullptr), 1);
    Rec rec{};
    for (int key = 0; key <= 3; ++key) {
        ASSERT_EQ(tableNext(id, &rec), 1);
        EXPECT_EQ(rec.key, key);
        EXPECT_EQ(rec.payload, 10 * key);
    }
    EXPECT_EQ(tableNext(id, &rec), 0);
}

}  // namespace
