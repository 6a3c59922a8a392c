// A host whose standard error is a pipe nobody reads: the lines fail to go
// out at every level, and that ends no host, keeps its errno and a SIGPIPE
// it had pending, and touches no table.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "morvane.h"

TEST(PlatformSigpipe, ReaderlessStderrEndsNoHost) {
    signal(SIGPIPE, SIG_DFL);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const int saved = dup(2);
    dup2(fds[1], 2);
    const int id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    for (std::int32_t level = 0; level <= 3; ++level) {
        tableSetDebug(level);
        const std::int32_t rec[2] = {level, 10 * level};
        errno = EINTR;
        EXPECT_EQ(tableAdd(id, rec), 1);
        EXPECT_EQ(tableCount(-1), -1);  // a warning line at every level
        EXPECT_EQ(errno, EINTR) << "level " << level;
    }
    tableSetDebug(0);
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_only, nullptr);
    raise(SIGPIPE);
    EXPECT_EQ(tableErr(0), TERR_BADID);  // the warning again
    const timespec no_wait{};
    EXPECT_EQ(sigtimedwait(&pipe_only, nullptr, &no_wait), SIGPIPE);  // the host's own, still pending
    dup2(saved, 2);
    std::int32_t rec[2];
    EXPECT_EQ(tableCount(id), 4);
    EXPECT_EQ(tableGet(id, REC_LAST, rec), 1);
    EXPECT_EQ(rec[1], 30);
}
