// The one-thread rule, checked in builds with assertions: the library serves
// one thread at a time, and every exported operation holds a OneThread while
// it runs, on its untraced path as in its frame. A second thread that enters
// while another is inside stops the process with a message naming the rule,
// since the registry and the error code would otherwise go silently wrong.
// The thread inside may enter again: an operation's frame opens inside its
// own untraced attempt. (A TableCompareFn or memory service calling back
// from that thread breaks another rule, which this does not check.) Builds
// without assertions check nothing and pay nothing: OneThread is then an
// empty type. Private to the library.
#ifndef MORVANE_CORE_ONE_THREAD_H
#define MORVANE_CORE_ONE_THREAD_H

namespace morvane::core {

#ifndef NDEBUG
void enter_library() noexcept;
void leave_library() noexcept;

class OneThread {
public:
    OneThread() noexcept { enter_library(); }
    ~OneThread() { leave_library(); }
    OneThread(const OneThread &) = delete;
    OneThread &operator=(const OneThread &) = delete;
};
#else
struct OneThread {};
#endif

}  // namespace morvane::core

#endif
