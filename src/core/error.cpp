// The sticky error code.
#include "core/error.h"

#include "core/operations.h"
#include "core/trace.h"
#include "morvane.h"
#include "platform/diag.h"

namespace morvane::core {
namespace {

int tableErrCode = TERR_NONE;

#define MORVANE_ERROR_CODE(code, identifier, meaning) code,
constexpr int kCodes[] = {MORVANE_ERRORS(MORVANE_ERROR_CODE, MORVANE_ERROR_CODE)};
#undef MORVANE_ERROR_CODE

// Codes a caller may store; 0 stands for "the current code".
constexpr unsigned kHighestCode = kCodes[sizeof kCodes / sizeof kCodes[0] - 1];

}  // namespace

// tableErr's own entry and exit lines come from the line writer, not the
// frame: recording an error needs neither the registry nor the dumps.
int record_error(int err) noexcept {
    if (trace_on(kTraceCalls)) write_entry(Op::kErr, ErrCall{err});
    const int previous = tableErrCode;
    if (static_cast<unsigned>(err) <= kHighestCode) {
        const int effective = err == 0 ? previous : err;
        if (effective != TERR_NONE)
            platform::diag_printf("Warning : internal table error detected ( code = %d )\n",
                                  effective);
        tableErrCode = effective;
    }
    if (trace_on(kTraceCalls)) write_exit(Op::kErr, previous);
    return previous;
}

}  // namespace morvane::core
