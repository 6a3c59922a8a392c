// The frame of every exported operation: entry line, entry dump, exit line,
// exit dump. Nothing else writes those lines. Private to the library.
#ifndef MORVANE_CORE_FRAME_H
#define MORVANE_CORE_FRAME_H

#include <cassert>
#include <cstdint>

#include "core/trace.h"
#include "platform/diag.h"

namespace morvane::core {

// An address as the trace prints it: a signed integer as wide as the address.
inline std::intptr_t as_number(const void *p) noexcept { return reinterpret_cast<std::intptr_t>(p); }

// Which stored-definition dumps an operation writes at level 2 or more.
enum class Dumps : unsigned char { none = 0, entry = 1, exit = 2, both = 3 };

// Writes the two dump lines of table `tabid`; all fields 0 when the id names
// no registry slot. Never records an error.
void dump_table(int tabid) noexcept;

#ifndef NDEBUG
extern int open_frames;  // entries not yet matched by an exit
#endif

// Use through MORVANE_FRAME, which writes the entry line.
class Frame {
public:
    Frame(int tabid, Dumps dumps) noexcept : tabid_(tabid), dumps_(dumps) {
#ifndef NDEBUG
        ++open_frames;
#endif
    }

    // The entry dump, written right after the entry line.
    void entry_dump() const noexcept {
        if (has(Dumps::entry) && trace_on(kTraceDumps)) dump_table(tabid_);
    }

    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    // Writes "<name> - return status <result>" and the exit dump; returns
    // `result` so an operation ends with `return frame.leave(...)`.
    int leave(const char *name, int result) noexcept {
        if (trace_on(kTraceCalls)) {
            platform::diag_printf("%s - return status %d\n", name, result);
            if (has(Dumps::exit) && trace_on(kTraceDumps)) dump_table(tabid_);
        }
        close();
        return result;
    }

    // tableNew's exit: "tableNew - return table id <id>" and the dump of the
    // new table.
    int leave_new(int tabid) noexcept {
        if (trace_on(kTraceCalls)) {
            platform::diag_printf("tableNew - return table id %d\n", tabid);
            if (trace_on(kTraceDumps)) dump_table(tabid);
        }
        close();
        return tabid;
    }

    // An exit that writes nothing (a failing tableNew).
    int leave_silently(int result) noexcept {
        close();
        return result;
    }

    ~Frame() { assert(closed_ && "operation returned without leaving its frame"); }

private:
    bool has(Dumps d) const noexcept {
        return (static_cast<unsigned>(dumps_) & static_cast<unsigned>(d)) != 0;
    }
    void close() noexcept {
#ifndef NDEBUG
        assert(!closed_ && open_frames > 0);
        --open_frames;
        closed_ = true;
#endif
    }

    int tabid_;
    Dumps dumps_;
#ifndef NDEBUG
    bool closed_ = false;
#else
    static constexpr bool closed_ = true;
#endif
};

}  // namespace morvane::core

// Opens the frame `frame` of an operation on table `tabid` and, at level 1 or
// more, writes its entry line (printf arguments: one literal holding both
// lines, then the values) and its entry dump.
#define MORVANE_FRAME(frame, tabid, dumps, ...)                              \
    ::morvane::core::Frame frame((tabid), (dumps));                           \
    if (::morvane::core::trace_on(::morvane::core::kTraceCalls)) {           \
        ::morvane::platform::diag_printf(__VA_ARGS__);                        \
        frame.entry_dump();                                                   \
    }

#endif
