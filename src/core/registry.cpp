// The registry of table definitions: id validation and growth.
#include "core/registry.h"

#include <cstring>

#include "core/error.h"
#include "core/sizes.h"
#include "morvane.h"
#include "platform/memory.h"

namespace morvane::core {

Registry registry;

bool good_table_traced(int tabid) noexcept {
    MORVANE_TRACE3("good_table - input parameters\n         - tabid %d\n", tabid);
    const bool good = names_table(tabid);
    if (!good) record_error(TERR_BADID);
    MORVANE_TRACE3("good_table - return status %d\n", good ? 1 : 0);
    return good;
}

bool extend_registry() noexcept {
    const int slots = registry.defsAllocd + kRegistryStep;
    const int bytes = byte_count(slots, sizeof(TableDef));
    void *block = nullptr;
    // bytes is -1 only beyond some 44 million slots: not reachable in tests.
    if (bytes > 0)
        block = registry.tableDefs == nullptr
                    ? platform::mem_alloc(bytes)
                    : platform::mem_realloc(registry.tableDefs, bytes);
    if (block == nullptr) {
        record_error(TERR_NOMEM);
        return false;
    }
    registry.tableDefs = static_cast<TableDef *>(block);
    std::memset(static_cast<void *>(registry.tableDefs + registry.defsAllocd), 0,
                static_cast<std::size_t>(kRegistryStep) * sizeof(TableDef));
    registry.defsAllocd = slots;
    sync_untraced_limit();
    return true;
}

void sync_untraced_limit() noexcept {
    registry.untracedLimit =
        tableDebugLevel <= 0 ? static_cast<unsigned>(registry.defsAllocd) : 0U;
}

}  // namespace morvane::core
