// Reading the shell's input one line at a time. At a terminal, when the
// shell was built with libedit, lines are read with line editing, a history
// of the lines typed so far (up and down arrows) and completion of command
// names (Tab); otherwise they are read plainly.
#ifndef MORVANE_SHELL_READER_H
#define MORVANE_SHELL_READER_H

#include <istream>
#include <string>

namespace shell {

class Reader {
public:
    // Reads from `in`; `interactive` (standard input is a terminal) turns on
    // the prompt and, where built in, line editing.
    Reader(std::istream &in, bool interactive);

    // The next line without its line break, false at the end of the input.
    bool next(std::string &line);

    // Whether lines are read with line editing.
    bool editing() const { return editing_; }

private:
    std::istream &in_;
    bool interactive_;
    bool editing_;
};

}  // namespace shell

#endif
