// morvane-diff: the long differential run.
//   morvane-diff [first-seed [seed-count [operations-per-seed [jobs]]]]
// Each seed runs in a child process of its own (the library's state is
// process-wide). Prints a divergence with the operations leading to it and
// the total of operations compared; exits 1 on any divergence.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "differential.h"

namespace {

struct Child {
    std::uint32_t seed;
    int read_fd;
};

long arg(int argc, char **argv, int i, long fallback) {
    return argc > i ? std::strtol(argv[i], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char **argv) {
    const auto first = static_cast<std::uint32_t>(arg(argc, argv, 1, 1000));
    const long count = arg(argc, argv, 2, 100);
    const long ops = arg(argc, argv, 3, differential_operations(20000));
    const long jobs = arg(argc, argv, 4, 2);

    std::map<pid_t, Child> running;
    long next = 0, total = 0, failed = 0;
    while (next < count || !running.empty()) {
        while (next < count && static_cast<long>(running.size()) < jobs) {
            const std::uint32_t seed = first + static_cast<std::uint32_t>(next++);
            int fds[2];
            if (pipe(fds) != 0) return 2;
            const pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                const DifferentialRun run = run_differential(seed, ops);
                if (!run.failure.empty()) std::fprintf(stderr, "seed %u: %s\n", seed, run.failure.c_str());
                const long n = run.operations;
                if (write(fds[1], &n, sizeof n) != sizeof n) _exit(2);
                _exit(run.failure.empty() ? 0 : 1);
            }
            close(fds[1]);
            running[pid] = Child{seed, fds[0]};
        }
        int status = 0;
        const pid_t done = wait(&status);
        if (done < 0) return 2;
        const Child c = running[done];
        running.erase(done);
        long n = 0;
        if (read(c.read_fd, &n, sizeof n) != sizeof n) n = 0;
        close(c.read_fd);
        total += n;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++failed;
            std::printf("seed %u: FAILED (status %d)\n", c.seed, status);
        }
    }
    std::printf("%ld seeds from %u, %ld operations compared, %ld divergent seeds\n", count, first, total,
                failed);
    return failed == 0 ? 0 : 1;
}
