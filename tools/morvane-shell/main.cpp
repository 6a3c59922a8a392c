// morvane-shell: reads commands, one per line, from a file or standard input
// and runs them against the library. Results go to standard output; the
// library's trace and warnings, and the shell's complaints about malformed
// lines, go to standard error. At a terminal lines are read with editing,
// a history kept from one run to the next, and completion where the shell
// was built with libedit.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "commands.h"
#include "parse.h"
#include "reader.h"

namespace {

const char usage_text[] =
    "usage: morvane-shell [--echo] [--trace N] [--no-history] [FILE]\n"
    "Runs morvane table commands from FILE, or from standard input when FILE is\n"
    "missing or -. With --echo each input line is repeated on standard output\n"
    "before its result. --trace N starts with the library's trace at level N\n"
    "(0 to 3; the command 'trace N' changes it). At a terminal the lines typed\n"
    "are kept in $XDG_STATE_HOME/morvane/history (~/.local/state/morvane/history\n"
    "by default) for the next run, unless --no-history is given. Type 'help' at\n"
    "the prompt for the commands.\n"
    "Exit status: 0, or 1 when a line of a script was malformed, 2 on bad usage.\n";

int usage_error(const std::string &message) {
    std::fprintf(stderr, "morvane-shell: %s\n%s", message.c_str(), usage_text);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    bool echo = false;
    bool history = true;
    std::string path;
    shell::Session session;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--echo" || arg == "-e") {
            echo = true;
        } else if (arg == "--trace" || arg == "-t") {
            if (i + 1 == argc) return usage_error(arg + " needs a level");
            try {
                shell::set_trace(session, shell::parse_int(argv[++i], "trace level"));
            } catch (const shell::Malformed &e) {
                return usage_error(e.what());
            }
        } else if (arg == "--no-history") {
            history = false;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage_text, stdout);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option '" + arg + "'");
        } else if (!path.empty()) {
            return usage_error("one input file at most");
        } else {
            path = arg;
        }
    }

    std::ifstream file;
    const bool from_stdin = path.empty() || path == "-";
    if (!from_stdin) {
        file.open(path);
        if (!file) {
            std::fprintf(stderr, "morvane-shell: cannot open '%s': %s\n", path.c_str(), std::strerror(errno));
            return 2;
        }
    }
    std::istream &in = from_stdin ? std::cin : file;
    const std::string source = from_stdin ? "stdin" : path;
    const bool interactive = from_stdin && isatty(STDIN_FILENO) == 1;

    shell::Reader reader(
        in, interactive, [&session](const std::string &before) { return shell::next_words(session, before); },
        history ? shell::history_file() : std::string());
    if (interactive) std::puts("morvane shell: type 'help' for the commands, 'quit' or Ctrl-D to leave.");

    bool malformed = false;
    bool at_end = false;
    std::string text;
    for (long number = 1;; ++number) {
        if (!reader.next(text)) {
            at_end = true;
            break;
        }
        if (echo) {
            const bool plain = text.find_first_not_of(" \t") == std::string::npos ||
                               text[text.find_first_not_of(" \t")] == '#';
            std::fputs(plain ? "" : "> ", stdout);
            std::fputs(text.c_str(), stdout);
            std::fputc('\n', stdout);
        }
        std::fflush(stdout);
        shell::Outcome outcome = shell::Outcome::next_line;
        try {
            outcome = shell::run_line(session, text);
        } catch (const shell::Malformed &e) {
            std::fflush(stdout);
            if (interactive)
                std::fprintf(stderr, "line %ld: %s\n", number, e.what());
            else
                std::fprintf(stderr, "%s:%ld: %s\n", source.c_str(), number, e.what());
            malformed = true;
        }
        std::fflush(stdout);
        if (outcome == shell::Outcome::quit) break;
    }
    if (interactive && at_end) std::fputc('\n', stdout);
    return malformed && !interactive ? 1 : 0;
}
