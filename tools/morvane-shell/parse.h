// Splitting a command line into words and reading the numbers, selectors and
// texts in them. Every problem is thrown as Malformed, whose message the shell
// prints with the line number; nothing here calls the library.
#ifndef MORVANE_SHELL_PARSE_H
#define MORVANE_SHELL_PARSE_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace shell {

// A line the shell refuses: its message says what is wrong with it.
class Malformed : public std::runtime_error {
public:
    explicit Malformed(const std::string &message) : std::runtime_error(message) {}
};

// One word of a command line. A word is a run of non-blank characters, or a
// double-quoted text in which \" \\ \n \t and \xHH stand for one byte each.
// `begin` and `end` delimit the word in the line, quotes included.
struct Word {
    std::string text;
    bool quoted = false;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A line split into words, with the line kept for texts that run to its end.
struct Line {
    std::string source;
    std::vector<Word> words;

    std::size_t size() const { return words.size(); }
    const std::string &operator[](std::size_t i) const { return words[i].text; }

    // The text from word `first` to the end of the line: the words as written,
    // blanks between them kept, or the unquoted text when that is a single
    // quoted word. Empty when the line has no word `first`.
    std::string rest(std::size_t first) const;
};

// Splits `source` into words; blank lines and lines whose first non-blank
// character is '#' give no words.
Line split_line(const std::string &source);

// A signed 32-bit decimal number; `what` names it in the message.
int parse_int(const std::string &text, const char *what);

// A record selector: first, current, last, key, prev, next or a number.
struct Selector {
    int recid = 0;
    bool searches = false;  // the library searches for a key with this value
};
Selector parse_selector(const std::string &text);

// The text of `bytes` in double quotes, with the escapes split_line reads.
std::string quote(const std::string &bytes);

}  // namespace shell

#endif
