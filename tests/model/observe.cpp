#include "observe.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include "morvane.h"

namespace observe {
namespace {

// A pipe that receives standard error for the length of one tablePrint.
struct DumpPipe {
    int read_fd = -1;
    int write_fd = -1;
    DumpPipe() {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        read_fd = fds[0];
        write_fd = fds[1];
        fcntl(read_fd, F_SETFL, fcntl(read_fd, F_GETFL) | O_NONBLOCK);
        fcntl(read_fd, F_SETFD, FD_CLOEXEC);
        fcntl(write_fd, F_SETFD, FD_CLOEXEC);
    }
};

DumpPipe &dump_pipe() {
    static DumpPipe p;
    return p;
}

// While a QuietStderr lives, standard error goes to a file this descriptor
// also reads: a dump is read back from where the file ended before it.
int capture_fd = -1;
bool capture_truncates = false;  // a temporary file, emptied now and then
constexpr off_t kCaptureLimit = 1 << 20;

std::string print_through_pipe(int tabid) {
    DumpPipe &p = dump_pipe();
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(p.write_fd, 2);
    tablePrint(tabid);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    char buf[512];
    for (;;) {
        const ssize_t n = read(p.read_fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // EAGAIN: all of it has been read
    }
    return text;
}

std::string print_into_capture(int tabid) {
    std::fflush(stderr);
    off_t start = lseek(capture_fd, 0, SEEK_END);
    if (capture_truncates && start > kCaptureLimit && ftruncate(capture_fd, 0) == 0) start = 0;
    tablePrint(tabid);
    std::fflush(stderr);
    const off_t end = lseek(capture_fd, 0, SEEK_END);
    std::string text(static_cast<std::size_t>(end > start ? end - start : 0), '\0');
    if (!text.empty() && pread(capture_fd, &text[0], text.size(), start) != static_cast<ssize_t>(text.size()))
        text.clear();
    return text;
}

}  // namespace

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    const char *path = std::getenv("MORVANE_TEST_STDERR");
    int fd = -1;
    if (path != nullptr && *path != '\0') {
        fd = open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        capture_truncates = false;
    } else {
        char name[] = "/tmp/morvane-stderr-XXXXXX";
        fd = mkstemp(name);
        if (fd >= 0) {
            unlink(name);
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_APPEND);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        capture_truncates = true;
    }
    if (fd < 0 || capture_fd >= 0) {  // no file, or already quiet
        if (fd >= 0) close(fd);
        return;
    }
    saved_ = dup(2);
    dup2(fd, 2);
    capture_fd = fd;
}

QuietStderr::~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    close(capture_fd);
    capture_fd = -1;
}

std::string print_text(int tabid) {
    return capture_fd >= 0 ? print_into_capture(tabid) : print_through_pipe(tabid);
}

std::optional<model::Dump> dump(int tabid, std::string *why) {
    const std::string text = print_text(tabid);
    int id = 0, consumed = 0;
    std::intptr_t tptr = 0;
    model::Dump d;
    const int fields = std::sscanf(text.c_str(),
                                   "    - stored definition for table id %d\n    - tptr %" SCNdPTR
                                   "  rsiz %d  ktyp %d  kmod %d  ftyp %" SCNdPTR
                                   "  allcd %d  rinc %d  used %d  cur %d\n%n",
                                   &id, &tptr, &d.rsiz, &d.ktyp, &d.kmod, &d.ftyp, &d.allcd,
                                   &d.rinc, &d.used, &d.cur, &consumed);
    if (fields != 10 || id != tabid || static_cast<std::size_t>(consumed) != text.size()) {
        if (why != nullptr) *why = "tablePrint(" + std::to_string(tabid) + ") wrote: " + text;
        return std::nullopt;
    }
    d.tptr = tptr != 0;
    return d;
}

void restore_position(int tabid, int rsiz, int used, int cur) {
    if (used == 0 || cur == 0) {
        tableSeek(tabid, REC_FIRST, nullptr);
    } else if (cur >= used) {
        std::vector<char> buf(static_cast<std::size_t>(rsiz));
        tableSeek(tabid, REC_LAST, nullptr);
        tableNext(tabid, buf.data());
    } else if (cur <= used - 1 - cur) {
        tableSeek(tabid, REC_FIRST, nullptr);
        for (int i = 0; i < cur; ++i) tableSeek(tabid, REC_NEXT, nullptr);
    } else {
        tableSeek(tabid, REC_LAST, nullptr);
        for (int i = used - 1; i > cur; --i) tableSeek(tabid, REC_PREV, nullptr);
    }
}

namespace {

bool fail(std::string *why, const std::string &text) {
    if (why != nullptr) *why = text;
    return false;
}

bool walk_forward(int tabid, int used, std::vector<char> &buf, Walk &w, std::string *why) {
    const int first = tableSeek(tabid, REC_FIRST, nullptr);
    if (first != (used > 0 ? 1 : 0)) return fail(why, "tableSeek(REC_FIRST) returned " + std::to_string(first));
    for (int i = 0; i <= used; ++i) {
        const int r = tableNext(tabid, buf.data());
        if (r != (i < used ? 1 : 0))
            return fail(why, "tableNext " + std::to_string(i) + " returned " + std::to_string(r));
        if (r == 1) w.records.emplace_back(buf.data(), buf.size());
    }
    if (tableAtEnd(tabid) != 1) return fail(why, "tableAtEnd after the forward walk is not 1");
    return true;
}

bool walk_backward(int tabid, int used, std::vector<char> &buf, Walk &w, std::string *why) {
    if (used == 0) {
        if (tableSeek(tabid, REC_LAST, nullptr) != 0) return fail(why, "tableSeek(REC_LAST) on empty returned 1");
        return true;
    }
    if (tableSeek(tabid, REC_LAST, nullptr) != 1) return fail(why, "tableSeek(REC_LAST) returned 0");
    w.records.resize(static_cast<std::size_t>(used));
    for (int i = used - 1; i >= 0; --i) {
        const int at_start = tableAtStart(tabid);
        if (at_start != (i == 0 ? 1 : 0))
            return fail(why, "tableAtStart before fetching record " + std::to_string(i) + " returned " +
                                 std::to_string(at_start));
        if (tablePrev(tabid, buf.data()) != 1) return fail(why, "tablePrev returned 0");
        w.records[static_cast<std::size_t>(i)].assign(buf.data(), buf.size());
    }
    return true;
}

}  // namespace

std::optional<Walk> walk(int tabid, bool backward, int level, std::string *why) {
    const auto before = dump(tabid, why);
    if (!before) return std::nullopt;
    if (!before->tptr || before->rsiz <= 0 || before->used < 0 || before->cur < 0 ||
        before->cur > before->used) {
        fail(why, "walk of a table whose dump is " + before->text());
        return std::nullopt;
    }
    tableSetDebug(0);
    Walk w;
    std::vector<char> buf(static_cast<std::size_t>(before->rsiz));
    const bool ok = backward ? walk_backward(tabid, before->used, buf, w, why)
                             : walk_forward(tabid, before->used, buf, w, why);
    if (ok) restore_position(tabid, before->rsiz, before->used, before->cur);
    tableSetDebug(level);
    if (!ok) return std::nullopt;
    const auto after = dump(tabid, why);
    if (!after) return std::nullopt;
    if (*after != *before) {
        fail(why, "walk did not leave the table as it was: before " + before->text() + ", after " +
                      after->text());
        return std::nullopt;
    }
    w.dump = *after;
    return w;
}

std::string hex(const model::Bytes &b) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (const char ch : b) {
        const auto c = static_cast<unsigned char>(ch);
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

}  // namespace observe
