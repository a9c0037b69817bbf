// The two things besides a file that local time depends on, set for the
// length of a test: the C library's zone and the moment of the call.
#pragma once

#include <chrono>
#include <cstdint>
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

// The C library's zone set for the scope, and the previous one put back
// afterwards. `zone` is a rule such as "EST5EDT,M4.1.0,M10.5.0" (TZ's form:
// standard name, hours west of UTC, daylight-saving name, when it starts and
// ends) or a zone's name such as "Europe/London".
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
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

// An instant given by its UTC reading, by the standard library's calendar
// (independent of the conversions under test).
inline platform::Instant Utc(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0) {
  const std::chrono::sys_days date = std::chrono::year_month_day{
      std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
      std::chrono::day{static_cast<unsigned>(day)}};
  return platform::Instant{std::int64_t{date.time_since_epoch().count()} * 86400 +
                           std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second};
}

// A zone used throughout: 5 hours west of UTC, daylight-saving time 4 hours
// west from 02:00 on the first Sunday of April (4 April 2004) to 02:00 on the
// last Sunday of October.
inline constexpr const char kEasternZone[] = "EST5EDT,M4.1.0,M10.5.0";
// One hour east of UTC, daylight-saving time two hours east.
inline constexpr const char kCentralEuropeanZone[] = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char kUtcZone[] = "UTC0";

// Whether the system has the zone of this name.
bool HasZoneFile(const char* name);

// Whether ScopedTimeZone can set this zone: a rule always can; a zone's name
// only when the system has that zone.
bool ZoneAvailable(const char* zone);

}  // namespace vellumar::testing
