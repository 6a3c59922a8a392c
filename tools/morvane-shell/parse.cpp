#include "parse.h"

#include <cerrno>
#include <cstdlib>

#include "morvane.h"

namespace shell {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted word starting at the quote at `pos`; returns the position
// after the closing quote.
std::size_t read_quoted(const std::string &s, std::size_t pos, std::string &out) {
    std::size_t i = pos + 1;
    while (i < s.size() && s[i] != '"') {
        if (s[i] != '\\') {
            out += s[i++];
            continue;
        }
        if (i + 1 >= s.size()) break;
        const char e = s[i + 1];
        i += 2;
        switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            const int hi = i < s.size() ? hex_digit(s[i]) : -1;
            const int lo = i + 1 < s.size() ? hex_digit(s[i + 1]) : -1;
            if (hi < 0 || lo < 0) throw Malformed("\\x must be followed by two hex digits");
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            throw Malformed(std::string("unknown escape \\") + e + " in a quoted text");
        }
    }
    if (i >= s.size()) throw Malformed("a quoted text is not closed (missing \")");
    return i + 1;
}

}  // namespace

Line split_line(const std::string &source) {
    Line line;
    line.source = source;
    std::size_t i = 0;
    while (i < source.size() && is_blank(source[i])) ++i;
    if (i < source.size() && source[i] == '#') return line;
    while (i < source.size()) {
        Word word;
        word.begin = i;
        if (source[i] == '"') {
            word.quoted = true;
            i = read_quoted(source, i, word.text);
            if (i < source.size() && !is_blank(source[i]))
                throw Malformed("a quoted text must be followed by a blank or the end of the line");
        } else {
            while (i < source.size() && !is_blank(source[i])) word.text += source[i++];
        }
        word.end = i;
        line.words.push_back(word);
        while (i < source.size() && is_blank(source[i])) ++i;
    }
    return line;
}

std::string Line::rest(std::size_t first) const {
    if (first >= words.size()) return std::string();
    if (words[first].quoted) {
        if (first + 1 != words.size()) throw Malformed("a quoted text must be the last thing on the line");
        return words[first].text;
    }
    return source.substr(words[first].begin, words.back().end - words[first].begin);
}

int parse_int(const std::string &text, const char *what) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const bool digits = i < text.size() && text.find_first_not_of("0123456789", i) == std::string::npos;
    if (!digits) throw Malformed("'" + text + "' is not a number (" + what + ")");
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < -2147483648LL || value > 2147483647LL)
        throw Malformed("'" + text + "' does not fit in 32 bits (" + what + ")");
    return static_cast<int>(value);
}

Selector parse_selector(const std::string &text) {
    static const struct {
        const char *name;
        int recid;
    } names[] = {{"first", REC_FIRST}, {"current", REC_CURRENT}, {"last", REC_LAST},
                 {"key", REC_KEY},     {"prev", REC_PREV},       {"next", REC_NEXT}};
    Selector sel;
    bool named = false;
    for (const auto &n : names) {
        if (text == n.name) {
            sel.recid = n.recid;
            named = true;
        }
    }
    if (!named) {
        const bool numeric = !text.empty() && text.find_first_of("0123456789") != std::string::npos &&
                             text.find_first_not_of("+-0123456789") == std::string::npos;
        if (!numeric)
            throw Malformed("unknown selector '" + text + "' (first, current, last, key, prev, next or a number)");
        sel.recid = parse_int(text, "selector");
    }
    sel.searches = sel.recid != REC_FIRST && sel.recid != REC_CURRENT && sel.recid != REC_LAST &&
                   sel.recid != REC_PREV && sel.recid != REC_NEXT;
    return sel;
}

std::string quote(const std::string &bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u > 0x7e) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace shell
