// The C library's zone is TZ, read again by tzset.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "support/time_scopes.h"

namespace vellumar::testing {

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = ::getenv("TZ")) m_previous = old;
  ::setenv("TZ", zone, 1);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (m_previous) {
    ::setenv("TZ", m_previous->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

bool HasZoneFile(const char* name) {
  const char* dir = ::getenv("TZDIR");
  const std::string path =
      std::string(dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo") + "/" + name;
  return ::access(path.c_str(), R_OK) == 0;
}

// A rule always gives its offset in digits; a name without digits must be
// a zone file that is there.
bool ZoneAvailable(const char* zone) {
  return std::strpbrk(zone, "0123456789") != nullptr || HasZoneFile(zone);
}

}  // namespace vellumar::testing
