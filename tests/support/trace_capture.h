// Captures what the library writes on standard error during a test.
#ifndef MORVANE_TESTS_TRACE_CAPTURE_H
#define MORVANE_TESTS_TRACE_CAPTURE_H

#include <string>

// Redirects file descriptor 2 into a temporary file from construction until
// text() is called (or the object is destroyed).
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // Ends the capture and returns everything written meanwhile.
    std::string text();

private:
    int saved_fd_ = -1;
    int file_fd_ = -1;
    std::string text_;
};

// The trace of `fn()`: everything it writes on standard error.
template <typename Fn>
std::string trace_of(Fn &&fn) {
    StderrCapture capture;
    fn();
    return capture.text();
}

#endif
