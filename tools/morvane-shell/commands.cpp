#include "commands.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "morvane.h"
#include "parse.h"

namespace shell {

namespace {

using Handler = void (*)(Session &, const Line &);

struct Command {
    const char *name;
    const char *usage;  // arguments, after the name
    const char *about;
    Handler run;
    std::size_t min_words;  // the name included
    std::size_t max_words;  // 0: any number
    const char *also = nullptr;  // a second form: usage, then about
    const char *also_about = nullptr;
};

const Command *find_command(const std::string &name);
}  // namespace

void set_trace(Session &session, int level);

namespace {

void say(const std::string &text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

const char *code_name(int code) {
    switch (code) {
#define NAMED_CODE(value, identifier, meaning) \
    case value: return #value;
#define UNNAMED_CODE(value, identifier, meaning)
        MORVANE_ERRORS(NAMED_CODE, UNNAMED_CODE)
#undef NAMED_CODE
#undef UNNAMED_CODE
    }
    return "(no name)";
}

const char *code_meaning(int code) {
    switch (code) {
#define MEANING(value, identifier, meaning) \
    case value: return meaning;
        MORVANE_ERRORS(MEANING, MEANING)
#undef MEANING
    }
    return "not a code the library stores";
}

int table_id(const Line &line, std::size_t i) { return parse_int(line[i], "table id"); }

// The layout needed to write a key or a record for table `id`. A freed table
// keeps its layout, so that the library can be shown the call and refuse it.
const Layout &layout_for_key(const Session &session, int id) {
    const auto it = session.tables.find(id);
    if (it == session.tables.end())
        throw Malformed("table " + std::to_string(id) + " was not made in this session, so its key type is unknown");
    return it->second;
}

// A buffer to fetch a record of table `id` into, zeroed so that what the
// library did not write shows as empty.
std::vector<unsigned char> fetch_buffer(const Session &session, int id) {
    const auto it = session.tables.find(id);
    return std::vector<unsigned char>(it != session.tables.end() ? static_cast<std::size_t>(it->second.rsiz) : 16, 0);
}

std::string shown(const Session &session, int id, const std::vector<unsigned char> &record) {
    const auto it = session.tables.find(id);
    if (it == session.tables.end()) return "(a record of a table this session did not make)";
    return format_record(it->second, record);
}

// "get: 1 20 \"x\"" or "get: 0 nothing fetched".
void report_fetch(const Session &session, const char *name, int id, int result,
                  const std::vector<unsigned char> &record, const char *none) {
    say(std::string(name) + ": " + std::to_string(result) + " " +
        (result == 1 ? shown(session, id, record) : std::string(none)));
}

void report(const char *name, int result, const char *yes, const char *no) {
    say(std::string(name) + ": " + std::to_string(result) + " " + (result == 1 ? yes : no));
}

// ---- table lifetime ------------------------------------------------------

// Registers the layout of a table the library made, after checking that the
// key fits the record as the library promised.
void remember(Session &session, int id, const Layout &layout) {
    const bool fits = layout.width >= 1 && layout.width <= layout.rsiz &&
                      (layout.kind != KeyKind::integer || layout.width == 1 || layout.width == 2 ||
                       layout.width == 4);
    if (!fits) {
        session.tables.erase(id);
        say("create: note: table " + std::to_string(id) +
            " has a key the shell cannot lay out; commands with keys will refuse it");
        return;
    }
    session.tables[id] = layout;
}

void create_raw(Session &session, const Line &line) {
    if (line.size() < 6 || line.size() > 8) throw Malformed("usage: create raw RSIZ KTYP KMOD FTYP [RECS [RINC]]");
    const int rsiz = parse_int(line[2], "record size");
    const int ktyp = parse_int(line[3], "key type");
    const int kmod = parse_int(line[4], "key mode");
    const int ftyp = parse_int(line[5], "key field");
    const int recs = line.size() > 6 ? parse_int(line[6], "initial records") : 100;
    const int rinc = line.size() > 7 ? parse_int(line[7], "growth step") : 50;
    if (ktyp == KEY_USER && ftyp != 0)
        throw Malformed("create raw: key type 2 takes key field 0 (no function); use 'create user NAME'");

    const int id = tableNew(rsiz, ktyp, kmod, ftyp, recs, rinc);
    if (id < 0) {
        say("create: " + std::to_string(id) + " not created");
        return;
    }
    Layout layout;
    layout.kind = ktyp == KEY_INT ? KeyKind::integer : (ktyp == KEY_STRING ? KeyKind::text : KeyKind::none);
    layout.width = ktyp == KEY_USER ? 4 : ftyp;
    layout.rsiz = rsiz;
    layout.kmod = kmod;
    say("create: " + std::to_string(id) + " (" + describe(layout) + ")");
    remember(session, id, layout);
}

void cmd_create(Session &session, const Line &line) {
    if (line[1] == "raw") return create_raw(session, line);
    const char *usage = "usage: create KEYTYPE [unique|dup] [size N] [recs N] [inc N]";

    Layout layout;
    int ktyp = KEY_INT;
    std::intptr_t ftyp = 0;
    std::size_t i = 2;
    const std::string &type = line[1];
    if (type == "int1" || type == "int2" || type == "int4") {
        layout.width = type[3] - '0';
    } else if (type == "int" || type == "str") {
        if (line.size() < 3) throw Malformed(type + " needs a width: " + type + " N");
        layout.width = parse_int(line[2], "key width");
        i = 3;
        if (type == "str") {
            ktyp = KEY_STRING;
            layout.kind = KeyKind::text;
        }
    } else if (type == "user") {
        if (line.size() < 3) throw Malformed("user needs a comparison: user pair, user desc or user none");
        const UserKey *key = find_user_key(line[2]);
        if (key == nullptr)
            throw Malformed("unknown comparison '" + line[2] + "' (pair, desc or none; see help)");
        ktyp = KEY_USER;
        layout.kind = key->kind;
        layout.width = key->width;
        ftyp = reinterpret_cast<std::intptr_t>(key->fn);
        i = 3;
    } else {
        throw Malformed("unknown key type '" + type + "' (int1, int2, int4, int N, str N, user NAME or raw)");
    }
    if (ktyp != KEY_USER) ftyp = layout.width;

    bool size_given = false;
    int recs = 100;
    int rinc = 50;
    layout.kmod = KEY_UNIQUE;
    for (; i < line.size(); ++i) {
        const std::string &word = line[i];
        if (word == "unique") {
            layout.kmod = KEY_UNIQUE;
        } else if (word == "dup") {
            layout.kmod = KEY_DUPLICATES;
        } else if (word == "size" || word == "recs" || word == "inc") {
            if (i + 1 >= line.size()) throw Malformed(word + " needs a number");
            const int value = parse_int(line[++i], word == "size" ? "record size" : "count");
            if (word == "size") {
                layout.rsiz = value;
                size_given = true;
            } else if (word == "recs") {
                recs = value;
            } else {
                rinc = value;
            }
        } else {
            throw Malformed("unexpected '" + word + "'; " + usage);
        }
    }
    if (!size_given) {
        const long long size = static_cast<long long>(layout.width < 0 ? 0 : layout.width) + 12;
        if (size > INT32_MAX) throw Malformed("a key this wide needs an explicit size N");
        layout.rsiz = static_cast<int>(size);
    }
    if (ktyp == KEY_USER && layout.rsiz < layout.width)
        throw Malformed("a user " + line[2] + " key takes " + std::to_string(layout.width) +
                        " bytes: the record size must be at least that");

    const int id = tableNew(layout.rsiz, ktyp, layout.kmod, ftyp, recs, rinc);
    if (id < 0) {
        say("create: " + std::to_string(id) + " not created");
        return;
    }
    say("create: " + std::to_string(id) + " (" + describe(layout) + ")");
    remember(session, id, layout);
}

void cmd_free(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    const int result = tableFree(id);
    const auto it = session.tables.find(id);
    if (it != session.tables.end()) it->second.live = false;
    say("free: " + std::to_string(result));
}

void cmd_count(Session &, const Line &line) {
    const int id = table_id(line, 1);
    say("count: " + std::to_string(tableCount(id)));
}

void cmd_list(Session &session, const Line &) {
    int live = 0;
    for (const auto &entry : session.tables) live += entry.second.live ? 1 : 0;
    say("list: " + std::to_string(live) + " table" + (live == 1 ? "" : "s"));
    for (const auto &entry : session.tables)
        say("  " + std::to_string(entry.first) + "  " + describe(entry.second) + (entry.second.live ? "" : "  (freed)"));
}

// ---- keyed access --------------------------------------------------------

void cmd_add(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    const auto record = make_record(layout_for_key(session, id), line[2], line.rest(3));
    report("add", tableAdd(id, record.data()), "added", "not added");
}

void cmd_set(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    const auto record = make_record(layout_for_key(session, id), line[2], line.rest(3));
    report("set", tableSet(id, record.data()), "replaced", "not replaced");
}

// The selector of get, seek and del, and the key that must follow it exactly
// when the selector searches.
struct Target {
    int id = 0;
    Selector sel;
    std::vector<unsigned char> key;  // a record holding the key, when searching
};

Target read_target(const Session &session, const Line &line) {
    Target t;
    t.id = table_id(line, 1);
    t.sel = parse_selector(line[2]);
    if (t.sel.searches) {
        if (line.size() != 4) throw Malformed("selector '" + line[2] + "' searches: give the KEY after it");
        t.key = make_record(layout_for_key(session, t.id), line[3], "");
    } else if (line.size() != 3) {
        throw Malformed("selector '" + line[2] + "' takes no key");
    }
    return t;
}

void cmd_get(Session &session, const Line &line) {
    Target t = read_target(session, line);
    std::vector<unsigned char> record = t.sel.searches ? t.key : fetch_buffer(session, t.id);
    const int result = tableGet(t.id, t.sel.recid, record.data());
    report_fetch(session, "get", t.id, result, record, "nothing fetched");
}

// seek and del read the buffer only for a key search; otherwise they get
// none at all.
void cmd_seek(Session &session, const Line &line) {
    const Target t = read_target(session, line);
    report("seek", tableSeek(t.id, t.sel.recid, t.sel.searches ? t.key.data() : nullptr), "on a record",
           "no record");
}

void cmd_del(Session &session, const Line &line) {
    const Target t = read_target(session, line);
    report("del", tableDel(t.id, t.sel.recid, t.sel.searches ? t.key.data() : nullptr), "deleted",
           "nothing deleted");
}

// ---- sequential access ---------------------------------------------------

void cmd_next(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    auto record = fetch_buffer(session, id);
    report_fetch(session, "next", id, tableNext(id, record.data()), record, "nothing fetched");
}

void cmd_prev(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    auto record = fetch_buffer(session, id);
    report_fetch(session, "prev", id, tablePrev(id, record.data()), record, "nothing fetched");
}

void cmd_update(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    const auto record = make_record(layout_for_key(session, id), line[2], line.rest(3));
    report("update", tableUpdate(id, record.data()), "updated", "nothing stored");
}

void cmd_atstart(Session &, const Line &line) { report("atstart", tableAtStart(table_id(line, 1)), "yes", "no"); }

void cmd_atend(Session &, const Line &line) { report("atend", tableAtEnd(table_id(line, 1)), "yes", "no"); }

// The forward walk: position on the first record, then tableNext until it
// answers 0. The backward walk: position on the last record, then tablePrev
// while the tableAtStart asked before it answered 0, plus the one after.
void cmd_walk(Session &session, const Line &line) {
    const int id = table_id(line, 1);
    const bool back = line.size() == 3;
    if (back && line[2] != "back") throw Malformed("usage: walk T [back]");
    auto record = fetch_buffer(session, id);
    int n = 0;
    if (!back) {
        if (tableSeek(id, REC_FIRST, nullptr)) {
            while (tableNext(id, record.data())) {
                say("  " + shown(session, id, record));
                ++n;
            }
        }
    } else if (tableSeek(id, REC_LAST, nullptr)) {
        bool at_start = false;
        while (!at_start) {
            at_start = tableAtStart(id) == 1;
            if (!tablePrev(id, record.data())) break;
            say("  " + shown(session, id, record));
            ++n;
        }
    }
    say("walk: " + std::to_string(n) + " record" + (n == 1 ? "" : "s"));
}

// ---- errors and diagnostics ----------------------------------------------

void cmd_print(Session &, const Line &line) { tablePrint(table_id(line, 1)); }

void cmd_trace(Session &session, const Line &line) {
    if (line.size() == 2) set_trace(session, parse_int(line[1], "trace level"));
    say("trace: level " + std::to_string(session.trace_level));
}

void cmd_err(Session &, const Line &line) {
    if (line.size() == 1) {
        const int code = tableErr(-1);
        say("err: " + std::to_string(code) + " " + code_name(code));
        return;
    }
    const int err = parse_int(line[1], "error code");
    const int before = tableErr(err);
    say("err " + std::to_string(err) + ": " + std::to_string(before) + " " + code_name(before) + " before");
}

// ---- the shell itself ----------------------------------------------------

void cmd_echo(Session &, const Line &line) { say(line.rest(1)); }

void cmd_help(Session &, const Line &line) {
    if (line.size() == 1) {
        std::fputs(help_text().c_str(), stdout);
        return;
    }
    const Command *c = find_command(line[1]);
    if (c == nullptr) throw Malformed("no command '" + line[1] + "' (type help for the list)");
    say(std::string(c->name) + (*c->usage != '\0' ? " " : "") + c->usage);
    say("  " + std::string(c->about));
    if (c->also != nullptr) {
        say(c->also);
        say("  " + std::string(c->also_about));
    }
}

void cmd_quit(Session &, const Line &) {}

const Command commands[] = {
    {"create", "KEYTYPE [unique|dup] [size N] [recs N] [inc N]",
     "make a table (tableNew)", cmd_create, 2, 0, "create raw RSIZ KTYP KMOD FTYP [RECS [RINC]]",
     "tableNew as given (FTYP 0 if KTYP 2)"},
    {"free", "T", "release table T (tableFree)", cmd_free, 2, 2},
    {"count", "T", "number of records (tableCount)", cmd_count, 2, 2},
    {"list", "", "the tables made in this session", cmd_list, 1, 1},
    {"add", "T KEY [TEXT]", "insert a record in key order (tableAdd)", cmd_add, 3, 0},
    {"set", "T KEY [TEXT]", "replace the record with this key (tableSet)", cmd_set, 3, 0},
    {"get", "T SEL [KEY]", "fetch a record (tableGet)", cmd_get, 3, 4},
    {"seek", "T SEL [KEY]", "move the position only (tableSeek)", cmd_seek, 3, 4},
    {"del", "T SEL [KEY]", "delete a record (tableDel)", cmd_del, 3, 4},
    {"next", "T", "fetch at the position, step forward (tableNext)", cmd_next, 2, 2},
    {"prev", "T", "fetch at the position, step back (tablePrev)", cmd_prev, 2, 2},
    {"update", "T KEY [TEXT]", "store at the position, step forward (tableUpdate)", cmd_update, 3,
     0},
    {"atstart", "T", "is the position at the first record? (tableAtStart)", cmd_atstart, 2, 2},
    {"atend", "T", "is the position past the last record? (tableAtEnd)", cmd_atend, 2, 2},
    {"walk", "T [back]", "all records, first to last or back; moves position", cmd_walk, 2, 3},
    {"print", "T", "stored definition to stderr (tablePrint)", cmd_print, 2, 2},
    {"trace", "[N]", "trace level, 0 to 3 (tableSetDebug)", cmd_trace, 1,
     2},
    {"err", "[N]", "error code (tableErr(-1)); with N: tableErr(N)", cmd_err, 1, 2},
    {"echo", "TEXT", "print TEXT", cmd_echo, 1, 0},
    {"help", "[COMMAND]", "this list, or one command", cmd_help, 1, 2},
    {"quit", "", "leave (so does the end of the input)", cmd_quit, 1, 1},
};

const Command *find_command(const std::string &name) {
    for (const Command &c : commands)
        if (name == c.name) return &c;
    return nullptr;
}

// The sticky code, read without a line of trace: tableErr(-1) stores nothing
// and writes no warning, and at level 0 it writes no trace lines either.
int silent_code(const Session &session) {
    tableSetDebug(0);
    const int code = tableErr(-1);
    tableSetDebug(session.trace_level);
    return code;
}

}  // namespace

void set_trace(Session &session, int level) {
    if (level < 0 || level > 3) throw Malformed("trace level " + std::to_string(level) + " is not 0 to 3");
    session.trace_level = level;
    tableSetDebug(level);
}

const std::vector<std::string> &command_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Command &c : commands) all.emplace_back(c.name);
        return all;
    }();
    return names;
}

std::vector<std::string> next_words(const Session &session, const std::string &before) {
    Line line;
    try {
        line = split_line(before);
    } catch (const Malformed &) {
        return {};  // inside an unfinished quoted text
    }
    const std::size_t n = line.size();
    if (n == 0) return command_names();
    const Command *c = find_command(line[0]);
    if (c == nullptr || (c->max_words != 0 && n >= c->max_words)) return {};
    const std::string name = c->name;
    if (name == "help") return command_names();
    if (name == "trace") return {"0", "1", "2", "3"};
    if (name == "create") {
        if (n == 1) return {"int1", "int2", "int4", "int", "str", "user", "raw"};
        if (line[1] == "raw") return {};
        if (line[1] == "user" && n == 2) {
            std::vector<std::string> names;
            for (const UserKey &k : user_keys()) names.emplace_back(k.name);
            return names;
        }
        const std::string &last = line[n - 1];
        const bool number_next = last == "size" || last == "recs" || last == "inc" ||
                                 (n == 2 && (line[1] == "int" || line[1] == "str"));
        if (number_next) return {};
        return {"unique", "dup", "size", "recs", "inc"};
    }
    if (c->usage[0] != 'T') return {};
    if (n == 1) {
        std::vector<std::string> ids;
        for (const auto &entry : session.tables)
            if (entry.second.live) ids.push_back(std::to_string(entry.first));
        return ids;
    }
    if (n == 2 && std::string(c->usage).compare(0, 5, "T SEL") == 0)
        return {"first", "current", "last", "prev", "next", "key"};
    if (n == 2 && name == "walk") return {"back"};
    return {};
}

std::string help_text() {
    std::string text = "Commands (T table id, SEL selector, KEY key, TEXT record text):\n";
    for (const Command &c : commands) {
        std::string head = std::string("  ") + c.name + (*c.usage != '\0' ? " " : "") + c.usage;
        if (head.size() < 28) head.resize(28, ' ');
        else head += "\n" + std::string(28, ' ');
        text += head + c.about + "\n";
        if (c.also != nullptr) text += std::string("  ") + c.also + "\n" + std::string(28, ' ') + c.also_about + "\n";
    }
    text += "KEYTYPE: int1, int2, int4 (signed integers), int N, str N (text of N bytes),\n"
            "  or user NAME, a comparison of the shell's own:\n";
    for (const UserKey &k : user_keys()) {
        std::string head = std::string("    user ") + k.name;
        head.resize(16, ' ');
        text += head + k.about + "\n";
    }
    text += "  A record is the key, then TEXT; size defaults to the key width + 12.\n"
            "SEL: first, current, last, prev, next, key KEY, or a number (-1 first, -2\n"
            "  current, -3 last, -5 prev, -6 next; others search for the KEY after it).\n"
            "KEY: as the key type: 42, ACME or \"two words\", 3/7 for user pair.\n"
            "TEXT: the rest of the line, stored after the key; in double quotes it may\n"
            "  hold \\\" \\\\ \\n \\t and \\xHH. Lines starting with # are comments.\n"
            "Trace, on stderr: 0 warnings only, 1 + each call, 2 + table definitions,\n"
            "  3 + inner steps. Results show the library's result first: \"add: 1 added\".\n";
    return text;
}

Outcome run_line(Session &session, const std::string &source) {
    const Line line = split_line(source);
    if (line.size() == 0) return Outcome::next_line;
    const Command *c = find_command(line[0]);
    if (c == nullptr) throw Malformed("unknown command '" + line[0] + "' (type help for the list)");
    if (line.size() < c->min_words || (c->max_words != 0 && line.size() > c->max_words))
        throw Malformed(std::string("usage: ") + c->name + (*c->usage != '\0' ? " " : "") + c->usage);
    // The library records a code only when a call fails; err sets one on
    // purpose and says so itself. A failure that records the code already
    // standing cannot be told from none, so it goes unmentioned.
    const bool watch = c->run != cmd_err;
    const int before = watch ? silent_code(session) : 0;
    c->run(session, line);
    const int after = watch ? silent_code(session) : 0;
    if (after != before) say("error " + std::to_string(after) + " " + code_name(after) + ": " + code_meaning(after));
    return c->run == cmd_quit ? Outcome::quit : Outcome::next_line;
}

}  // namespace shell
