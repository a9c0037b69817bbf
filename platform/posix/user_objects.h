// The per-user namespace of named objects, natively: a name carries the
// effective user id (and the VELLUMAR_NAMESPACE name), and an object counts
// only when it belongs to the user and is closed to everyone else.
#pragma once

#include <sys/stat.h>

#include <cstddef>

namespace vellumar::platform::posix {

// Room for any native object name.
constexpr std::size_t kMaxObjectName = 256;

// The native name of a per-user object, written into `out` (NUL-terminated):
// "/" then the VELLUMAR_NAMESPACE name and "." when it is set, the name, "."
// and the effective user id; any further '/' or '\' becomes '_'. False when
// it does not fit.
bool PerUserObjectName(const char* name, char* out, std::size_t capacity) noexcept;

// Whether the object open on `fd` is a regular file (a shared memory
// object) of the effective user with no access for group or others. Another
// user could otherwise plant an object under our name and read or steer
// what goes through it. `st` gets the object's status.
bool OwnedByUserAlone(int fd, struct stat& st) noexcept;

}  // namespace vellumar::platform::posix
