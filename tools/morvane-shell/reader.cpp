#include "reader.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef MORVANE_SHELL_LIBEDIT
#include <editline/readline.h>
#endif

namespace shell {

namespace {

const char prompt[] = "morvane> ";

#ifdef MORVANE_SHELL_LIBEDIT
// libedit's callbacks are plain functions: they reach the completer of the
// reader at work through this pointer (one reader edits at a time).
const Completer *active_completer = nullptr;

// Tab offers the words the completer gives for the line so far that start
// with the word being typed; nothing where it gives none (not file names).
std::vector<std::string> candidates;

char *next_candidate(const char *text, int state) {
    static std::size_t index;
    if (state == 0) index = 0;
    const std::size_t length = std::strlen(text);
    while (index < candidates.size()) {
        const std::string &word = candidates[index++];
        if (word.compare(0, length, text) == 0) {
            // libedit frees each match with free().
            char *match = static_cast<char *>(std::malloc(word.size() + 1));
            if (match != nullptr) std::memcpy(match, word.c_str(), word.size() + 1);
            return match;
        }
    }
    return nullptr;
}

char **complete(const char *text, int start, int) {
    rl_attempted_completion_over = 1;
    candidates = (*active_completer)(std::string(rl_line_buffer, static_cast<std::size_t>(start)));
    return rl_completion_matches(text, next_candidate);
}

// Makes `dir` and its missing parents, private to the user; false when it
// cannot.
bool make_dirs(const std::string &dir) {
    struct stat info;
    if (stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !make_dirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0;
}
#endif

}  // namespace

std::string history_file() {
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/morvane/history";
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/morvane/history";
    return "";
}

Reader::Reader(std::istream &in, bool interactive, Completer completer, std::string history)
    : in_(in), interactive_(interactive), editing_(false), completer_(std::move(completer)),
      history_(std::move(history)) {
#ifdef MORVANE_SHELL_LIBEDIT
    if (interactive_) {
        rl_readline_name = "morvane-shell";
        rl_attempted_completion_function = complete;
        active_completer = &completer_;
        editing_ = true;
        stifle_history(1000);
        // A missing or unreadable file starts an empty history.
        if (!history_.empty()) read_history(history_.c_str());
    }
#else
    history_.clear();
#endif
}

Reader::~Reader() {
#ifdef MORVANE_SHELL_LIBEDIT
    if (active_completer == &completer_) {
        active_completer = nullptr;
        rl_attempted_completion_function = nullptr;
    }
#endif
}

bool Reader::next(std::string &line) {
#ifdef MORVANE_SHELL_LIBEDIT
    if (editing_) {
        char *text = readline(prompt);
        if (text == nullptr) return false;
        line = text;
        std::free(text);
        if (line.find_first_not_of(" \t") != std::string::npos) {
            add_history(line.c_str());
            // The history is a convenience: a place that cannot be written
            // (no home, a read-only disk) goes without it, silently.
            if (!history_.empty()) {
                const std::size_t slash = history_.find_last_of('/');
                if (make_dirs(history_.substr(0, slash))) write_history(history_.c_str());
            }
        }
        return true;
    }
#endif
    if (interactive_) {
        std::fputs(prompt, stdout);
        std::fflush(stdout);
    }
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace shell
