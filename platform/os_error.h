// Operating-system errors as one neutral value. The backend fills it in from
// its own error reporting; shared code only keeps it, tests it against 0 and
// has the backend turn it into text.
#pragma once

#include <string>

namespace vellumar::platform {

struct OsError {
  long code = 0;  // the backend's own error number; 0 for none

  explicit constexpr operator bool() const noexcept { return code != 0; }
  friend constexpr bool operator==(const OsError&, const OsError&) = default;
};

// The error that the calling thread's last failed system call left behind.
// Only meaningful right after a platform call reported a failure.
OsError LastOsError() noexcept;

// The system's description of the error, as one line of text.
std::string OsErrorText(OsError error);

}  // namespace vellumar::platform
