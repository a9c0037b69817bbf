// Absolute time: one point on the UTC time line, in whole seconds.
//
// An instant knows nothing of zones or calendars; a wall-clock reading is a
// CivilTime (platform/civil_time.h), and the only ways between the two are
// the conversions there, each given the offset from UTC to use.
#pragma once

#include <compare>
#include <cstdint>

namespace vellumar::platform {

struct Instant {
  std::int64_t unixSeconds = 0;  // seconds since 1970-01-01 00:00:00 UTC

  friend constexpr auto operator<=>(const Instant&, const Instant&) = default;
};

}  // namespace vellumar::platform
