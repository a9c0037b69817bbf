// The C library's local time zone: the zone that TZ names when it is set and
// not empty, else the system's. As for the C library's own functions, a
// change to TZ takes effect once the C library has been told to read it
// again.
//
// Safe on several threads at once; nothing here allocates (the C library may,
// once, when it first loads the zone).
#pragma once

#include <optional>

#include "platform/civil_time.h"

namespace vellumar::platform {

// The offset from UTC in force at `t`; empty when the C library cannot place
// `t` in the zone.
std::optional<UtcOffset> LocalOffsetAt(Instant t) noexcept;

// How the zone takes a wall-clock reading.
struct LocalReadingOffsets {
  // The zone's standard offset around the reading: the lowest it has in
  // force in the year around it, daylight-saving time being ahead of it.
  UtcOffset standard;
  // The offset the reading is taken in: the one in force at the instant that
  // the reading denotes as standard time. So a reading in daylight-saving
  // time takes the daylight-saving offset, and so does a reading in the
  // interval skipped when daylight-saving time begins (it is shown earlier
  // by the jump); in the hour repeated when it ends, a reading is taken as
  // standard time.
  UtcOffset applied;
};

// The offsets for `reading`; empty when the C library cannot place it.
std::optional<LocalReadingOffsets> LocalOffsetsFor(const CivilTime& reading) noexcept;

}  // namespace vellumar::platform
