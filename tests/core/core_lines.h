// Expected trace texts of the core operations, built from known values, and
// a way to learn a table's storage address from its dump.
#ifndef MORVANE_TESTS_CORE_LINES_H
#define MORVANE_TESTS_CORE_LINES_H

#include <cstdint>
#include <regex>
#include <string>

#include "morvane.h"
#include "trace_capture.h"

namespace lines {

// The stored fields of one table, in dump order.
struct Def {
    std::intptr_t tptr;
    int rsiz, ktyp, kmod;
    std::intptr_t ftyp;
    int allcd, rinc, used, cur;
};

inline std::string dump(int tabid, const Def &d) {
    return "    - stored definition for table id " + std::to_string(tabid) + "\n" +
           "    - tptr " + std::to_string(d.tptr) + "  rsiz " + std::to_string(d.rsiz) +
           "  ktyp " + std::to_string(d.ktyp) + "  kmod " + std::to_string(d.kmod) + "  ftyp " +
           std::to_string(d.ftyp) + "  allcd " + std::to_string(d.allcd) + "  rinc " +
           std::to_string(d.rinc) + "  used " + std::to_string(d.used) + "  cur " +
           std::to_string(d.cur) + "\n";
}

// The dump of an id that names no table slot, or of a never-used slot.
inline std::string zero_dump(int tabid) { return dump(tabid, Def{0, 0, 0, 0, 0, 0, 0, 0, 0}); }

inline std::string warning(int code) {
    return "Warning : internal table error detected ( code = " + std::to_string(code) + " )\n";
}

// What tableErr(err) writes at level 1 or more when `prev` stood before it;
// `stored` is the code it records (0: records nothing or records 1, no warning).
inline std::string err_call(int err, int stored, int prev) {
    return "tableErr - input parameters\n         - err " + std::to_string(err) + "\n" +
           (stored > 1 ? warning(stored) : "") + "tableErr - return status " +
           std::to_string(prev) + "\n";
}

inline std::string new_entry(int rsiz, int ktyp, int kmod, std::intptr_t ftyp, int recs, int rinc) {
    return "tableNew - input parameters\n         - rsiz " + std::to_string(rsiz) + "  ktyp " +
           std::to_string(ktyp) + "  kmod " + std::to_string(kmod) + "  ftyp " +
           std::to_string(ftyp) + "  recs " + std::to_string(recs) + "  rinc " +
           std::to_string(rinc) + "\n";
}

// Entry line of tableFree / tableCount.
inline std::string id_entry(const char *op, int tabid) {
    return std::string(op) + " - input parameters\n         - tabid " + std::to_string(tabid) + "\n";
}

inline std::string status(const char *op, int result) {
    return std::string(op) + " - return status " + std::to_string(result) + "\n";
}

inline std::string good_table(int tabid, bool valid, int prev_code) {
    return "good_table - input parameters\n         - tabid " + std::to_string(tabid) + "\n" +
           (valid ? "" : err_call(TERR_BADID, TERR_BADID, prev_code)) +
           "good_table - return status " + (valid ? "1" : "0") + "\n";
}

// The storage address printed in the dump of a live table, learned from
// tablePrint; 0 when the second dump line does not start as it must.
inline std::intptr_t tptr_of(int tabid) {
    const std::string text = trace_of([&] { tablePrint(tabid); });
    static const std::regex shape("    - stored definition for table id -?[0-9]+\n"
                                  "    - tptr (-?[1-9][0-9]*)  rsiz [^\n]*\n");
    std::smatch m;
    if (!std::regex_match(text, m, shape)) return 0;
    return static_cast<std::intptr_t>(std::stoll(m[1].str()));
}

}  // namespace lines

#endif
