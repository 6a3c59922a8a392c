#include "reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"

#ifdef MORVANE_SHELL_LIBEDIT
#include <editline/readline.h>
#endif

namespace shell {

namespace {

const char prompt[] = "morvane> ";

#ifdef MORVANE_SHELL_LIBEDIT
// Tab on the first word offers the command names that start with it; later
// words complete to nothing (not to file names).
char *next_command_name(const char *text, int state) {
    static std::size_t index;
    static std::size_t length;
    if (state == 0) {
        index = 0;
        length = std::strlen(text);
    }
    const auto &names = command_names();
    while (index < names.size()) {
        const std::string &name = names[index++];
        if (name.compare(0, length, text) == 0) {
            // libedit frees each match with free().
            char *match = static_cast<char *>(std::malloc(name.size() + 1));
            if (match != nullptr) std::memcpy(match, name.c_str(), name.size() + 1);
            return match;
        }
    }
    return nullptr;
}

char **complete(const char *text, int start, int) {
    rl_attempted_completion_over = 1;
    for (int i = 0; i < start; ++i)
        if (rl_line_buffer[i] != ' ' && rl_line_buffer[i] != '\t') return nullptr;
    return rl_completion_matches(text, next_command_name);
}
#endif

}  // namespace

Reader::Reader(std::istream &in, bool interactive) : in_(in), interactive_(interactive), editing_(false) {
#ifdef MORVANE_SHELL_LIBEDIT
    if (interactive_) {
        rl_readline_name = "morvane-shell";
        rl_attempted_completion_function = complete;
        editing_ = true;
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
        if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
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
