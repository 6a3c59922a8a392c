#include "records.h"

#include <cstdint>
#include <cstring>

#include "parse.h"

namespace shell {

namespace {

std::int32_t read_int4(const void *p) {
    std::int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

int sign(std::int64_t d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

// Orders by the first integer, then by the second.
int compare_pair(const void *record, const void *key) {
    const auto *r = static_cast<const unsigned char *>(record);
    const auto *k = static_cast<const unsigned char *>(key);
    const int first = sign(std::int64_t{read_int4(r)} - read_int4(k));
    return first != 0 ? first : sign(std::int64_t{read_int4(r + 4)} - read_int4(k + 4));
}

// Orders by one integer, largest first.
int compare_desc(const void *record, const void *key) {
    return sign(std::int64_t{read_int4(key)} - read_int4(record));
}

std::int32_t parse_ranged(const std::string &text, int width) {
    const std::int32_t value = parse_int(text, "key");
    const std::int32_t lo = width == 1 ? INT8_MIN : (width == 2 ? INT16_MIN : INT32_MIN);
    const std::int32_t hi = width == 1 ? INT8_MAX : (width == 2 ? INT16_MAX : INT32_MAX);
    if (value < lo || value > hi)
        throw Malformed("key " + text + " does not fit in " + std::to_string(width) + " byte" +
                        (width == 1 ? "" : "s"));
    return value;
}

void put_int(unsigned char *p, int width, std::int32_t value) {
    if (width == 1) {
        const auto v = static_cast<std::int8_t>(value);
        std::memcpy(p, &v, sizeof v);
    } else if (width == 2) {
        const auto v = static_cast<std::int16_t>(value);
        std::memcpy(p, &v, sizeof v);
    } else {
        std::memcpy(p, &value, sizeof value);
    }
}

std::int32_t get_int(const unsigned char *p, int width) {
    if (width == 1) {
        std::int8_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    if (width == 2) {
        std::int16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    return read_int4(p);
}

// The bytes of p[0..n) up to the first NUL.
std::string c_text(const unsigned char *p, int n) {
    std::string s;
    for (int i = 0; i < n && p[i] != 0; ++i) s += static_cast<char>(p[i]);
    return s;
}

}  // namespace

const std::vector<UserKey> &user_keys() {
    static const std::vector<UserKey> keys = {
        {"pair", KeyKind::pair, 8, compare_pair, "two 4-byte integers A/B, ordered by A then B"},
        {"desc", KeyKind::desc, 4, compare_desc, "one 4-byte integer, largest first"},
        {"none", KeyKind::none, 4, nullptr, "no comparison function (null); keys written like int4"},
    };
    return keys;
}

const UserKey *find_user_key(const std::string &name) {
    for (const UserKey &k : user_keys())
        if (name == k.name) return &k;
    return nullptr;
}

std::string describe(const Layout &layout) {
    std::string key;
    switch (layout.kind) {
    case KeyKind::integer: key = "int" + std::to_string(layout.width); break;
    case KeyKind::text: key = "str " + std::to_string(layout.width); break;
    case KeyKind::pair: key = "user pair"; break;
    case KeyKind::desc: key = "user desc"; break;
    case KeyKind::none: key = "user none"; break;
    }
    return key + " key, " + (layout.kmod == KEY_DUPLICATES ? "duplicates" : "unique") + ", " +
           std::to_string(layout.rsiz) + "-byte records";
}

std::vector<unsigned char> make_record(const Layout &layout, const std::string &key, const std::string &text) {
    std::vector<unsigned char> record(static_cast<std::size_t>(layout.rsiz), 0);
    unsigned char *p = record.data();
    switch (layout.kind) {
    case KeyKind::integer: put_int(p, layout.width, parse_ranged(key, layout.width)); break;
    case KeyKind::desc:
    case KeyKind::none: put_int(p, 4, parse_ranged(key, 4)); break;
    case KeyKind::text:
        if (key.size() > static_cast<std::size_t>(layout.width))
            throw Malformed("key " + quote(key) + " is longer than " + std::to_string(layout.width) + " bytes");
        std::memcpy(p, key.data(), key.size());
        break;
    case KeyKind::pair: {
        const std::size_t slash = key.find('/');
        if (slash == std::string::npos) throw Malformed("key '" + key + "' is not A/B (two integers)");
        put_int(p, 4, parse_ranged(key.substr(0, slash), 4));
        put_int(p + 4, 4, parse_ranged(key.substr(slash + 1), 4));
        break;
    }
    }
    if (text.size() > static_cast<std::size_t>(layout.text_bytes()))
        throw Malformed("text " + quote(text) + " is " + std::to_string(text.size()) + " bytes, the records hold " +
                        std::to_string(layout.text_bytes()) + " after the key");
    std::memcpy(p + layout.width, text.data(), text.size());
    return record;
}

std::string format_record(const Layout &layout, const std::vector<unsigned char> &record) {
    const unsigned char *p = record.data();
    std::string out;
    switch (layout.kind) {
    case KeyKind::integer: out = std::to_string(get_int(p, layout.width)); break;
    case KeyKind::desc:
    case KeyKind::none: out = std::to_string(read_int4(p)); break;
    case KeyKind::text: out = quote(c_text(p, layout.width)); break;
    case KeyKind::pair: out = std::to_string(read_int4(p)) + "/" + std::to_string(read_int4(p + 4)); break;
    }
    if (layout.text_bytes() > 0) out += " " + quote(c_text(p + layout.width, layout.text_bytes()));
    return out;
}

}  // namespace shell
