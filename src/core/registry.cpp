#include "core/registry.h"

#include "core/error.h"

namespace morvane::core {

Registry registry;

bool good_table_traced(int tabid) noexcept {
    MORVANE_TRACE3("good_table - input parameters\n         - tabid %d\n", tabid);
    const bool good = names_table(tabid);
    if (!good) record_error(kErrBadId);
    MORVANE_TRACE3("good_table - return status %d\n", good ? 1 : 0);
    return good;
}

}  // namespace morvane::core
