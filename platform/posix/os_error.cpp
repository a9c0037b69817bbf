#include "platform/os_error.h"

#include <cerrno>
#include <cstring>

namespace vellumar::platform {

OsError LastOsError() noexcept { return OsError{errno}; }

std::string OsErrorText(OsError error) {
  char text[256];
  // The GNU form returns the text, which may or may not live in `text`.
  const char* shown = ::strerror_r(static_cast<int>(error.code), text, sizeof text);
  return shown != nullptr ? std::string(shown) : "unknown error " + std::to_string(error.code);
}

}  // namespace vellumar::platform
