#include "harness.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>

#include "morvane.h"
#include "observe.h"
#include "test_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define MORVANE_HARNESS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVANE_HARNESS_ASAN 1
#endif
#endif

namespace {

// Under AddressSanitizer the library's buffer is exactly as large as its
// content, so any access past it is reported; elsewhere a guard pattern
// behind it shows writes past the end.
#ifdef MORVANE_HARNESS_ASAN
constexpr std::size_t kGuard = 0;
#else
constexpr std::size_t kGuard = 16;
#endif
constexpr char kGuardByte = static_cast<char>(0xA5);
constexpr std::size_t kRecentOps = 40;
constexpr int kDumpedSlots = 40;  // registry slots dumped in a full check
constexpr long kFullCheck = 16;

std::string show(const model::Bytes *b) { return b == nullptr ? "NULL" : "{" + observe::hex(*b) + "}"; }

template <typename... Args>
std::string call_text(const char *name, Args... args) {
    std::ostringstream s;
    s << name << "(";
    const char *sep = "";
    ((s << sep << args, sep = ", "), ...);
    s << ")";
    return s.str();
}

}  // namespace

struct Harness::Buffers {
    const model::Bytes *init;
    std::size_t size;
    std::unique_ptr<char[]> lib;
    std::unique_ptr<char[]> mod;

    explicit Buffers(const model::Bytes *content)
        : init(content), size(content ? content->size() : 0),
          lib(new char[size + kGuard + 1]), mod(new char[size + 1]) {
        if (init == nullptr) return;
        std::memcpy(lib.get(), init->data(), size);
        std::memset(lib.get() + size, kGuardByte, kGuard);
        std::memcpy(mod.get(), init->data(), size);
    }
    void *lib_ptr() const { return init ? lib.get() : nullptr; }
    void *model_ptr() const { return init ? mod.get() : nullptr; }
    model::Bytes lib_bytes() const { return model::Bytes(lib.get(), size); }
    model::Bytes model_bytes() const { return model::Bytes(mod.get(), size); }
};

Harness::Harness() {
    model_.grant = [this] { return ++model_calls_ != model_fail_at_; };
}

void Harness::fail_next_call(int k) { model_fail_at_ = k; }

void Harness::diverge(const std::string &what) {
    if (!ok()) return;
    std::ostringstream s;
    s << "divergence after " << operations_ << " operations: " << what << "\nlast operations:\n";
    for (const auto &op : recent_) s << "  " << op << "\n";
    failure_ = s.str();
}

void Harness::begin(const std::string &call) {
    ++operations_;
    recent_.push_back(model_fail_at_ != 0
                          ? "[memory call " + std::to_string(model_fail_at_) + " fails] " + call
                          : call);
    if (recent_.size() > kRecentOps) recent_.pop_front();
    model_calls_ = 0;
    if (model_fail_at_ != 0)
        testmem::fail_call(model_fail_at_);
    else
        testmem::reset();
}

void Harness::finish(int lib_result, int model_result, int touched) {
    const long lib_calls = testmem::calls();
    testmem::reset();
    model_fail_at_ = 0;
    if (lib_result != model_result)
        return diverge("result " + std::to_string(lib_result) + ", model " + std::to_string(model_result));
    if (lib_calls != model_calls_)
        return diverge("memory service calls " + std::to_string(lib_calls) + ", model " +
                       std::to_string(model_calls_));
    const int code = ::tableErr(-1);
    if (code != model_.code())
        return diverge("error code " + std::to_string(code) + ", model " + std::to_string(model_.code()));
    if (testmem::live_blocks() != model_.live_blocks())
        return diverge("live blocks " + std::to_string(testmem::live_blocks()) + ", model " +
                       std::to_string(model_.live_blocks()));
    check_tables(touched);
}

void Harness::compare_buffers(const Buffers &b, bool bytes_defined) {
    if (b.init == nullptr || !ok()) return;
    for (std::size_t i = 0; i < kGuard; ++i)
        if (b.lib[b.size + i] != kGuardByte) return diverge("the library wrote past the buffer's end");
    if (bytes_defined && b.lib_bytes() != b.model_bytes())
        diverge("buffer " + observe::hex(b.lib_bytes()) + ", model " + observe::hex(b.model_bytes()));
}

// After every operation: the count of every table, the stored definition of
// the table the operation named and of one other live table in turn (of
// every slot in use and of ids outside the registry after every kFullCheck
// operations), and a walk of the named table.
void Harness::check_tables(int touched) {
    std::set<int> ids{touched};
    const std::vector<int> live = model_.live_ids();
    if (!live.empty()) ids.insert(live[static_cast<std::size_t>(operations_) % live.size()]);
    if (operations_ % kFullCheck == 0) {
        ids.insert({-1, model_.defs_allocd()});
        for (int i = 0; i < std::min(model_.defs_used(), kDumpedSlots); ++i) ids.insert(i);
        ids.insert(live.begin(), live.end());
    }
    for (int id : ids) {
        std::string why;
        const auto d = observe::dump(id, &why);
        if (!d) return diverge(why);
        const model::Dump expected = model_.tablePrint(id);
        if (*d != expected)
            return diverge("table " + std::to_string(id) + ": " + d->text() + ", model " + expected.text());
    }
    for (int id : live) {
        const int count = ::tableCount(id);
        if (count != model_.slot(id).used())
            return diverge("tableCount(" + std::to_string(id) + ") " + std::to_string(count));
    }
    if (model_.is_live(touched)) check_walk(touched, (++walk_turn_ & 1) != 0);
}

void Harness::check_walk(int tabid, bool backward) {
    if (!ok()) return;
    std::string why;
    const auto w = observe::walk(tabid, backward, model_.level(), &why);
    const std::string where = std::string(backward ? "backward" : "forward") + " walk of table " +
                              std::to_string(tabid) + ": ";
    if (!w) return diverge(where + why);
    const auto &recs = model_.slot(tabid).recs;
    if (w->records.size() != recs.size())
        return diverge(where + std::to_string(w->records.size()) + " records, model " +
                       std::to_string(recs.size()));
    for (std::size_t i = 0; i < recs.size(); ++i)
        if (w->records[i] != recs[i])
            return diverge(where + "record " + std::to_string(i) + " " + observe::hex(w->records[i]) +
                           ", model " + observe::hex(recs[i]));
}

void Harness::check_all_walks(bool backward) {
    for (int id : model_.live_ids()) check_walk(id, backward);
}

void Harness::clear() {
    for (int id : model_.live_ids()) tableFree(id);
    tableErr(TERR_NONE);
    tableSetDebug(0);
}

int Harness::tableNew(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    if (!ok()) return -1;
    begin(call_text("tableNew", rsiz, ktyp, kmod, ftyp, recs, rinc));
    const int lib = ::tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
    const int mod = model_.tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
    finish(lib, mod, mod);
    return lib;
}

int Harness::run(const std::string &call, int tabid, const model::Bytes *content,
                 const std::function<int(void *)> &lib, const std::function<int(void *)> &mod) {
    if (!ok()) return 0;
    begin(call);
    Buffers b(content);
    const int lib_result = lib(b.lib_ptr());
    const int mod_result = mod(b.model_ptr());
    // From an empty table tablePrev copies bytes that are no record.
    const bool from_empty = call.rfind("tablePrev(", 0) == 0 && model_.prev_copied_nothing();
    compare_buffers(b, !from_empty);
    finish(lib_result, mod_result, tabid);
    return lib_result;
}

int Harness::tableFree(int tabid) {
    return run(call_text("tableFree", tabid), tabid, nullptr, [&](void *) { return ::tableFree(tabid); },
               [&](void *) { return model_.tableFree(tabid); });
}

int Harness::tableCount(int tabid) {
    return run(call_text("tableCount", tabid), tabid, nullptr, [&](void *) { return ::tableCount(tabid); },
               [&](void *) { return model_.tableCount(tabid); });
}

int Harness::tableErr(int err) {
    return run(call_text("tableErr", err), -1, nullptr, [&](void *) { return ::tableErr(err); },
               [&](void *) { return model_.tableErr(err); });
}

void Harness::tableSetDebug(int level) {
    if (!ok()) return;
    begin(call_text("tableSetDebug", level));
    ::tableSetDebug(level);
    model_.tableSetDebug(level);
    finish(0, 0, -1);
}

void Harness::tablePrint(int tabid) {
    if (!ok()) return;
    begin(call_text("tablePrint", tabid));
    std::string why;
    const auto d = observe::dump(tabid, &why);
    if (!d) return diverge(why);
    if (*d != model_.tablePrint(tabid))
        return diverge("tablePrint " + d->text() + ", model " + model_.tablePrint(tabid).text());
    finish(0, 0, tabid);
}

// The operations taking a buffer, and the two end tests.
#define MORVANE_HARNESS_OP(name, shown, ...)                                                   \
    run(call_text(#name, __VA_ARGS__, shown), tabid, buf,                                      \
        [&](void *p) { return ::name(__VA_ARGS__, p); }, [&](void *p) { return model_.name(__VA_ARGS__, p); })

int Harness::tableAdd(int tabid, const model::Bytes *buf) { return MORVANE_HARNESS_OP(tableAdd, show(buf), tabid); }
int Harness::tableSet(int tabid, const model::Bytes *buf) { return MORVANE_HARNESS_OP(tableSet, show(buf), tabid); }
int Harness::tableGet(int tabid, int recid, const model::Bytes *buf) {
    return MORVANE_HARNESS_OP(tableGet, show(buf), tabid, recid);
}
int Harness::tableSeek(int tabid, int recid, const model::Bytes *buf) {
    return MORVANE_HARNESS_OP(tableSeek, show(buf), tabid, recid);
}
int Harness::tableDel(int tabid, int recid, const model::Bytes *buf) {
    return MORVANE_HARNESS_OP(tableDel, show(buf), tabid, recid);
}
int Harness::tableNext(int tabid, const model::Bytes *buf) { return MORVANE_HARNESS_OP(tableNext, show(buf), tabid); }
int Harness::tablePrev(int tabid, const model::Bytes *buf) { return MORVANE_HARNESS_OP(tablePrev, show(buf), tabid); }
int Harness::tableUpdate(int tabid, const model::Bytes *buf) {
    return MORVANE_HARNESS_OP(tableUpdate, show(buf), tabid);
}

#undef MORVANE_HARNESS_OP

int Harness::tableAtStart(int tabid) {
    return run(call_text("tableAtStart", tabid), tabid, nullptr, [&](void *) { return ::tableAtStart(tabid); },
               [&](void *) { return model_.tableAtStart(tabid); });
}

int Harness::tableAtEnd(int tabid) {
    return run(call_text("tableAtEnd", tabid), tabid, nullptr, [&](void *) { return ::tableAtEnd(tabid); },
               [&](void *) { return model_.tableAtEnd(tabid); });
}
