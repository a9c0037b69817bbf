// Civil time: the reading of a wall clock, as calendar fields with no zone
// attached, and the two conversions between it and absolute time.
//
// Both conversions take the clock's offset from UTC explicitly; which offset
// a zone has in force is the business of platform/local_zone.h.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/instant.h"

namespace vellumar::platform {

// A clock's offset from UTC, in seconds east of it (west is negative).
struct UtcOffset {
  std::int32_t secondsEast = 0;

  friend constexpr bool operator==(const UtcOffset&, const UtcOffset&) = default;
};

// Proleptic Gregorian calendar; every instant has a reading, so the year is
// as wide as the instant's seconds.
struct CivilTime {
  std::int64_t year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;

  friend constexpr bool operator==(const CivilTime&, const CivilTime&) = default;
};

namespace civil_detail {

constexpr std::int64_t kSecondsPerDay = 86400;
// Years far beyond any instant's reading; keeps the day arithmetic exact.
constexpr std::int64_t kMaxAbsYear = std::int64_t{1} << 40;

// Floor division and its remainder (0 <= remainder < divisor), without the
// multiplication that could overflow at the ends of the range.
struct FloorDiv {
  std::int64_t quotient;
  std::int64_t remainder;
};
constexpr FloorDiv DivideFloor(std::int64_t value, std::int64_t divisor) {
  FloorDiv d{value / divisor, value % divisor};
  if (d.remainder < 0) {
    d.remainder += divisor;
    d.quotient -= 1;
  }
  return d;
}

// Days since 1970-01-01 of a date, and back: the era-based day count of the
// proleptic Gregorian calendar (eras of 400 years, years starting 1 March).
constexpr std::int64_t DaysFromDate(std::int64_t year, int month, int day) {
  const std::int64_t y = month <= 2 ? year - 1 : year;
  const std::int64_t era = DivideFloor(y, 400).quotient;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

constexpr CivilTime DateFromDays(std::int64_t days) {
  const FloorDiv eras = DivideFloor(days + 719468, 146097);
  const std::int64_t dayOfEra = eras.remainder;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 = March
  CivilTime date;
  date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  date.year = yearOfEra + eras.quotient * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

}  // namespace civil_detail

// The reading, at instant `t`, of a clock `offset` east of UTC. Defined for
// every instant and offset.
constexpr CivilTime CivilFromInstant(Instant t, UtcOffset offset) {
  using namespace civil_detail;
  const FloorDiv utcDays = DivideFloor(t.unixSeconds, kSecondsPerDay);
  const FloorDiv local = DivideFloor(utcDays.remainder + offset.secondsEast, kSecondsPerDay);
  CivilTime c = DateFromDays(utcDays.quotient + local.quotient);
  const auto secondOfDay = static_cast<int>(local.remainder);
  c.hour = secondOfDay / 3600;
  c.minute = secondOfDay / 60 % 60;
  c.second = secondOfDay % 60;
  return c;
}

// The instant at which a clock `offset` east of UTC shows `reading`, whose
// fields must lie in their ranges. Empty when that instant lies outside the
// 64-bit range of Instant.
constexpr std::optional<Instant> InstantFromCivil(const CivilTime& reading, UtcOffset offset) {
  using namespace civil_detail;
  if (reading.year > kMaxAbsYear || reading.year < -kMaxAbsYear) return std::nullopt;
  const std::int64_t secondOfDay =
      std::int64_t{reading.hour} * 3600 + reading.minute * 60 + reading.second;
  const FloorDiv utc = DivideFloor(secondOfDay - offset.secondsEast, kSecondsPerDay);
  const std::int64_t days = DaysFromDate(reading.year, reading.month, reading.day) + utc.quotient;
  // Before 1970 the whole days are counted from the day after, so that the
  // product cannot leave the range where the result does not.
  const bool before1970 = days < 0;
  std::int64_t seconds = 0;
  if (__builtin_mul_overflow(before1970 ? days + 1 : days, kSecondsPerDay, &seconds) ||
      __builtin_add_overflow(seconds, before1970 ? utc.remainder - kSecondsPerDay : utc.remainder,
                             &seconds)) {
    return std::nullopt;
  }
  return Instant{seconds};
}

}  // namespace vellumar::platform
