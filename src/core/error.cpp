#include "core/error.h"

#include "core/frame.h"
#include "morvane.h"
#include "platform/diag.h"

namespace morvane::core {
namespace {

int tableErrCode = TERR_NONE;

// Codes a caller may store; 0 stands for "the current code".
constexpr unsigned kHighestCode = 8;

}  // namespace

int record_error(int err) noexcept {
    MORVANE_FRAME(frame, -1, Dumps::none, "tableErr - input parameters\n         - err %d\n", err);
    const int previous = tableErrCode;
    if (static_cast<unsigned>(err) <= kHighestCode) {
        const int effective = err == 0 ? previous : err;
        if (effective != TERR_NONE)
            platform::diag_printf("Warning : internal table error detected ( code = %d )\n",
                                  effective);
        tableErrCode = effective;
    }
    return frame.leave("tableErr", previous);
}

}  // namespace morvane::core

extern "C" MORVANE_API int tableErr(int err) { return morvane::core::record_error(err); }
