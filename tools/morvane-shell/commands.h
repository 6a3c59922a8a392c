// The shell's commands: a table of names, usages and handlers, and the
// session state they share (the layout of every table made so far).
#ifndef MORVANE_SHELL_COMMANDS_H
#define MORVANE_SHELL_COMMANDS_H

#include <map>
#include <string>
#include <vector>

#include "records.h"

namespace shell {

struct Session {
    std::map<int, Layout> tables;  // by table id, freed ones kept
    int trace_level = 0;
};

enum class Outcome { next_line, quit };

// Runs one command line, printing its result on standard output. A malformed
// line throws Malformed before anything reaches the library. When the
// library records a new error code during the command, a line with the
// code's name and meaning follows the result.
Outcome run_line(Session &session, const std::string &line);

// Sets the library's trace level and remembers it; a level other than 0 to 3
// is refused as Malformed.
void set_trace(Session &session, int level);

// The names of the commands, in the order help lists them.
const std::vector<std::string> &command_names();

// The words that may come next after `before`, the start of a line up to the
// word being typed (for completion): command names first; then, by command,
// the key types, comparisons and options of create, the ids of this
// session's tables not yet freed, selectors, trace levels. None where a key,
// a text or a number comes. The library is not asked: an id it does not know
// would cost a warning line.
std::vector<std::string> next_words(const Session &session, const std::string &before);

// The help text: every command with its usage and a line about it.
std::string help_text();

}  // namespace shell

#endif
