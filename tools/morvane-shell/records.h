// What the shell knows about the records of each table it made: where the
// key ends and the text begins, how to write a key typed on the command line
// into a record buffer, and how to show a record fetched from the library.
#ifndef MORVANE_SHELL_RECORDS_H
#define MORVANE_SHELL_RECORDS_H

#include <string>
#include <vector>

#include "morvane.h"

namespace shell {

// How the key at the start of a record is written and read.
enum class KeyKind {
    integer,  // KEY_INT, 1, 2 or 4 bytes
    text,     // KEY_STRING of `width` bytes
    pair,     // KEY_USER: two 4-byte integers, compared in order
    desc,     // KEY_USER: one 4-byte integer, largest first
    none,     // KEY_USER without a comparison function; keys written like int4
};

// A comparison the shell offers for KEY_USER tables.
struct UserKey {
    const char *name;
    KeyKind kind;
    int width;          // bytes of key at the start of the record
    TableCompareFn fn;  // null for "none"
    const char *about;  // one line for help
};
const std::vector<UserKey> &user_keys();
const UserKey *find_user_key(const std::string &name);

// The record layout of one table: the key, then text up to the record size.
struct Layout {
    KeyKind kind = KeyKind::integer;
    int width = 4;  // key bytes
    int rsiz = 0;   // record bytes
    int kmod = KEY_UNIQUE;
    bool live = true;  // false once the table was freed

    int text_bytes() const { return rsiz - width; }
};

// "int4 key, duplicates, 16-byte records".
std::string describe(const Layout &layout);

// A zeroed record buffer with `key` and `text` written in. Throws Malformed
// when the key does not suit the layout or the text does not fit.
std::vector<unsigned char> make_record(const Layout &layout, const std::string &key, const std::string &text);

// The key and text of a record: `20 "buy 50"`, `"ACME" "Acme Corp"`, `3/7`.
std::string format_record(const Layout &layout, const std::vector<unsigned char> &record);

}  // namespace shell

#endif
