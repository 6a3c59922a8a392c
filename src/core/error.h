// The sticky error code. Private to the library.
#ifndef MORVANE_CORE_ERROR_H
#define MORVANE_CORE_ERROR_H

namespace morvane::core {

// Records `err` exactly as the exported tableErr does, with its trace and
// warning lines. Every error the library detects goes through here.
int record_error(int err) noexcept;

constexpr int kErrNoMem = 2;
constexpr int kErrBadId = 3;
constexpr int kErrBadSize = 4;
constexpr int kErrBadKtyp = 5;
constexpr int kErrBadKmod = 6;
constexpr int kErrBadFtyp = 7;

}  // namespace morvane::core

#endif
