// The sticky error code. Private to the library.
#ifndef MORVANE_CORE_ERROR_H
#define MORVANE_CORE_ERROR_H

namespace morvane::core {

// Records `err` exactly as the exported tableErr does, with its trace and
// warning lines. Every error the library detects goes through here, with one
// of the TERR_* codes.
int record_error(int err) noexcept;

}  // namespace morvane::core

#endif
