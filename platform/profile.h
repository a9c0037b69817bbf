// The user's profile (WIN.INI): one value by section and key.
#pragma once

#include <cstddef>

namespace vellumar::platform {

// Copies the value of `key` in `section` of the user's profile, or
// `defaultValue` when the profile, the section or the key is missing, into
// `dest`, cut to capacity - 1 characters and NUL-terminated. Returns the
// number of characters copied. Nothing is written when capacity is 0.
// The text of the profile is read by the rules of FindProfileValue
// (platform/profile_text.h).
//
// Natively the profile is the file named by WININI when that is set and not
// empty, else $XDG_CONFIG_HOME/win.ini, else $HOME/.config/win.ini. The read
// can neither block nor grow without limit: only a regular file counts, it is
// opened without blocking, and only its first kProfileReadLimit bytes are
// read. A larger profile is read up to that bound; what lies beyond it,
// the rest of a line cut there included, is not seen. Anything that is not a
// regular file (a FIFO, a device, a directory), or a file that cannot be
// opened, counts as no profile.
std::size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                              char* dest, std::size_t capacity);

// 1 MiB: many times any real profile, and small enough to read at every load.
inline constexpr std::size_t kProfileReadLimit = std::size_t{1} << 20;

}  // namespace vellumar::platform
