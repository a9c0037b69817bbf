// The two things besides a file that local time depends on, set for the
// length of a test: the C library's zone and the moment of the call.
#pragma once

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "platform/civil_time.h"
#include "platform/clock.h"
#include "platform/instant.h"

namespace vellumar::platform {

// How failures show the time types.
inline void PrintTo(const Instant& t, std::ostream* os) { *os << t.unixSeconds << " s"; }
inline void PrintTo(const CivilTime& c, std::ostream* os) {
  *os << c.year << '-' << c.month << '-' << c.day << ' ' << c.hour << ':' << c.minute << ':'
      << c.second;
}

}  // namespace vellumar::platform

namespace vellumar::testing {

// TZ set to a zone (a POSIX rule such as "EST5EDT,M4.1.0,M10.5.0", or a zone
// file's name) and tzset() called; the previous TZ comes back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_previous = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (m_previous) {
      ::setenv("TZ", m_previous->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> m_previous;
};

// The moment of the call, fixed.
class ScopedNow {
 public:
  explicit ScopedNow(platform::Instant moment) : m_previous(platform::test::SetFixedNow(moment)) {}
  ~ScopedNow() { platform::test::SetFixedNow(m_previous); }
  ScopedNow(const ScopedNow&) = delete;
  ScopedNow& operator=(const ScopedNow&) = delete;

 private:
  std::optional<platform::Instant> m_previous;
};

// An instant given by its UTC reading, by the C library's own arithmetic
// (independent of the conversions under test).
inline platform::Instant Utc(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return platform::Instant{static_cast<std::int64_t>(::timegm(&fields))};
}

// A zone used throughout: 5 hours west of UTC, daylight-saving time 4 hours
// west from 02:00 on the first Sunday of April (4 April 2004) to 02:00 on the
// last Sunday of October.
inline constexpr const char kEasternZone[] = "EST5EDT,M4.1.0,M10.5.0";
// One hour east of UTC, daylight-saving time two hours east.
inline constexpr const char kCentralEuropeanZone[] = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char kUtcZone[] = "UTC0";

// Whether the C library can load a zone file by this name.
inline bool HasZoneFile(const char* name) {
  const char* dir = std::getenv("TZDIR");
  const std::string path =
      std::string(dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo") + "/" + name;
  return ::access(path.c_str(), R_OK) == 0;
}

// Whether TZ can name this zone: a POSIX rule always gives its offset in
// digits; a name without digits must be a zone file that is there.
inline bool ZoneAvailable(const char* zone) {
  return std::strpbrk(zone, "0123456789") != nullptr || HasZoneFile(zone);
}

}  // namespace vellumar::testing
