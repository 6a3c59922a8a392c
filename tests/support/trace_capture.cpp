#include "trace_capture.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/morvane-trace-XXXXXX";
    file_fd_ = mkstemp(name);
    if (file_fd_ < 0) throw std::runtime_error("cannot create capture file");
    unlink(name);
    saved_fd_ = dup(2);
    dup2(file_fd_, 2);
}

std::string StderrCapture::text() {
    if (saved_fd_ < 0) return text_;
    std::fflush(stderr);
    dup2(saved_fd_, 2);
    close(saved_fd_);
    saved_fd_ = -1;
    lseek(file_fd_, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(file_fd_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<size_t>(n));
    close(file_fd_);
    file_fd_ = -1;
    return text_;
}

StderrCapture::~StderrCapture() { text(); }
