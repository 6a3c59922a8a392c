#include "store/storage.h"

#include <cinttypes>
#include <climits>
#include <cstring>

#include "core/error.h"
#include "core/sizes.h"
#include "core/trace.h"
#include "morvane.h"
#include "platform/memory.h"
#include "store/search.h"

namespace morvane::store {
namespace {

std::size_t span(const core::TableDef &def, int records) noexcept {
    return static_cast<std::size_t>(records) * static_cast<std::size_t>(def.rsiz);
}

// Moves the full storage into a fresh block of `allcd` + `rinc` slots and
// releases the old one, leaving slot `cur` open: the records before `cur`
// go to the start of the new block and the rest one slot further up, so
// each record is copied once rather than copied and then moved. The new
// slots are left as they come.
bool grow_open(core::TableDef &def) noexcept {
    const std::int64_t slots = std::int64_t{def.allcd} + def.rinc;
    const int bytes = slots > INT_MAX ? -1 : core::byte_count(slots, def.rsiz);
    char *block = bytes > 0 ? static_cast<char *>(platform::mem_alloc(bytes)) : nullptr;
    if (block == nullptr) {
        core::record_error(TERR_NOMEM);
        return false;
    }
    std::memcpy(block, def.tptr, span(def, def.cur));
    std::memcpy(block + span(def, def.cur + 1), slot(def, def.cur), span(def, def.used - def.cur));
    platform::mem_free(def.tptr);
    def.tptr = block;
    def.allcd = static_cast<int>(slots);
    return true;
}

}  // namespace

bool add_record(core::TableDef &def) noexcept {
    MORVANE_TRACE3("add_record - input parameters\n         - tabid %d\n", core::table_id(def));
    if (def.used == def.allcd) {
        if (!grow_open(def)) return false;
    } else if (def.cur < def.used) {
        std::memmove(slot(def, def.cur + 1), slot(def, def.cur), span(def, def.used - def.cur));
    }
    ++def.used;
    return true;
}

void delete_record(core::TableDef &def) noexcept {
    MORVANE_TRACE3("delete_record - input parameters\n         - tabid %d\n", core::table_id(def));
    --def.used;
    if (def.cur == def.used) {
        def.cur = def.used > 0 ? def.used - 1 : 0;
        return;
    }
    std::memmove(slot(def, def.cur), slot(def, def.cur + 1), span(def, def.used - def.cur));
}

void prepare_table(core::TableDef &def) noexcept {
    const auto rsiz = static_cast<std::size_t>(def.rsiz);
    def.store.copy = rsiz >= kInlineMin && rsiz <= kInlineMax ? kCopyInline : kCopyOther;
    def.store.append = append_key_of(def);
}

void trace_copy_record(const core::TableDef &def, const void *rptr, CopyMode mode) noexcept {
    platform::diag_printf("copy_record - input parameters\n         - tabid %d  rptr %" PRIdPTR
                          "  mode %d\n",
                          core::table_id(def), core::as_number(rptr), static_cast<int>(mode));
}

}  // namespace morvane::store
