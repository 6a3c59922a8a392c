// A host whose standard error is a pipe nobody reads: the lines fail to go
// out at every level, and that ends no host, keeps its errno and a SIGPIPE
// it had pending, and touches no table.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "morvane.h"

TEST(PlatformSigpipe, ReaderlessStderrEndsNoHost) {
    int fds[2], rec[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const int saved = dup(2), id = tableNew(8, KEY_INT, KEY_UNIQUE, 4, 0, 0);
    dup2(fds[1], 2);
    signal(SIGPIPE, SIG_DFL);
    for (int level = 0; level <= 3; ++level) {
        tableSetDebug(level);
        rec[0] = level, rec[1] = 10 * level, errno = EINTR;
        EXPECT_TRUE(tableAdd(id, rec) == 1 && tableCount(-1) == -1 && errno == EINTR) << "level " << level;
    }
    tableSetDebug(0);
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_only, nullptr);
    raise(SIGPIPE);
    EXPECT_EQ(tableErr(0), TERR_BADID);  // writes the warning again
    const timespec no_wait{};
    EXPECT_EQ(sigtimedwait(&pipe_only, nullptr, &no_wait), SIGPIPE);  // the host's own, still pending
    dup2(saved, 2);
    EXPECT_TRUE(tableCount(id) == 4 && tableGet(id, REC_LAST, rec) == 1 && rec[1] == 30);
}
