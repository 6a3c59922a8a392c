// Reading the shell's input one line at a time. At a terminal, when the
// shell was built with libedit, lines are read with line editing, a history
// of the lines typed (up and down arrows), kept from one run to the next in a
// file, and completion (Tab) of the words the shell offers; otherwise they
// are read plainly.
#ifndef MORVANE_SHELL_READER_H
#define MORVANE_SHELL_READER_H

#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace shell {

// The words that may come after the start of a line (see next_words).
using Completer = std::function<std::vector<std::string>(const std::string &before)>;

class Reader {
public:
    // Reads from `in`; `interactive` (standard input is a terminal) turns on
    // the prompt and, where built in, line editing with completion from
    // `completer`. `history` is the file the lines typed are kept in (read
    // first, rewritten after each line), or empty for none.
    Reader(std::istream &in, bool interactive, Completer completer, std::string history);
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // The next line without its line break, false at the end of the input.
    bool next(std::string &line);

    // Whether lines are read with line editing.
    bool editing() const { return editing_; }

private:
    std::istream &in_;
    bool interactive_;
    bool editing_;
    Completer completer_;
    std::string history_;
};

// Where the history is kept: $XDG_STATE_HOME/morvane/history, or
// ~/.local/state/morvane/history when XDG_STATE_HOME is unset, empty or not
// an absolute path; empty when neither gives a place.
std::string history_file();

}  // namespace shell

#endif
