// The sticky error code. Private to the library.
#ifndef MORVANE_CORE_ERROR_H
#define MORVANE_CORE_ERROR_H

namespace morvane::core {

// tableErr: records `err` and returns the code it replaces, writing the
// warning line and, at level 1 or more, tableErr's entry and exit lines.
// Every error the library detects goes through here, with one of the TERR_*
// codes; it needs nothing of the registry or the frame.
int record_error(int err) noexcept;

}  // namespace morvane::core

#endif
