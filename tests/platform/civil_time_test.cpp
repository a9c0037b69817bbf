#include "platform/civil_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

#include "support/time_scopes.h"

namespace vellumar::platform {
namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

// The reading of a UTC clock at `s` seconds since 1970, by the standard
// library's calendar.
CivilTime StandardCalendarReading(std::int64_t s) {
  using namespace std::chrono;
  const sys_seconds instant{seconds{s}};
  const sys_days day = floor<days>(instant);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{instant - day};
  return CivilTime{static_cast<int>(date.year()),
                   static_cast<int>(static_cast<unsigned>(date.month())),
                   static_cast<int>(static_cast<unsigned>(date.day())),
                   static_cast<int>(time.hours().count()),
                   static_cast<int>(time.minutes().count()),
                   static_cast<int>(time.seconds().count())};
}

// The standard library's calendar is the oracle: over six centuries, at
// steps that land on every time of day and every day of the year, both
// directions agree with it, also with offsets that carry the reading across a
// day, month or year.
TEST(CivilTime, AgreesWithTheStandardLibraryCalendar) {
  constexpr std::int64_t kFrom = -11'644'473'600;  // 1601-01-01
  constexpr std::int64_t kTo = 16'725'225'600;     // 2500-01-01
  constexpr std::int64_t kStep = 86'399 * 7 + 13;
  constexpr std::int32_t kOffsets[] = {0, -18'000, 3'600, 50'400, -43'200, 89'999, -89'999};
  for (std::int64_t s = kFrom; s < kTo; s += kStep) {
    for (std::int32_t offset : kOffsets) {
      const CivilTime reading = CivilFromInstant(Instant{s}, UtcOffset{offset});
      ASSERT_EQ(reading, StandardCalendarReading(s + offset))
          << "instant " << s << ", offset " << offset;
      ASSERT_EQ(InstantFromCivil(reading, UtcOffset{offset}), Instant{s})
          << "instant " << s << ", offset " << offset;
    }
  }
}

TEST(CivilTime, KnownReadings) {
  struct Row {
    std::int64_t seconds;
    std::int32_t offset;
    CivilTime reading;
  } const rows[] = {
      {0, 0, {1970, 1, 1, 0, 0, 0}},
      {-1, 0, {1969, 12, 31, 23, 59, 59}},
      {0, -18'000, {1969, 12, 31, 19, 0, 0}},
      {951'825'600, 0, {2000, 2, 29, 12, 0, 0}},  // a leap day of a century year
      {-11'644'473'600, 0, {1601, 1, 1, 0, 0, 0}},
      {2'147'483'647, 0, {2038, 1, 19, 3, 14, 7}},
      {-2'208'988'800, 0, {1900, 1, 1, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CivilFromInstant(Instant{row.seconds}, UtcOffset{row.offset}), row.reading)
        << row.seconds;
    EXPECT_EQ(InstantFromCivil(row.reading, UtcOffset{row.offset}), Instant{row.seconds})
        << row.seconds;
  }
}

// The ends of the 64-bit range: every instant has a reading, and the way back
// reports the instants it cannot hold instead of overflowing.
TEST(CivilTime, EndsOfTheRange) {
  constexpr std::int32_t kOffsets[] = {0, -89'999, 89'999};
  for (std::int64_t s : {kMin64, kMin64 + 1, kMax64 - 1, kMax64}) {
    for (std::int32_t offset : kOffsets) {
      const CivilTime reading = CivilFromInstant(Instant{s}, UtcOffset{offset});
      EXPECT_EQ(InstantFromCivil(reading, UtcOffset{offset}), Instant{s})
          << "instant " << s << ", offset " << offset;
    }
  }
  const CivilTime last = CivilFromInstant(Instant{kMax64}, UtcOffset{0});
  EXPECT_EQ(InstantFromCivil(last, UtcOffset{-1}), std::nullopt);
  const CivilTime first = CivilFromInstant(Instant{kMin64}, UtcOffset{0});
  EXPECT_EQ(InstantFromCivil(first, UtcOffset{1}), std::nullopt);
  EXPECT_EQ(InstantFromCivil(CivilTime{std::int64_t{1} << 50, 1, 1, 0, 0, 0}, UtcOffset{0}),
            std::nullopt);
  EXPECT_EQ(InstantFromCivil(CivilTime{-(std::int64_t{1} << 50), 1, 1, 0, 0, 0}, UtcOffset{0}),
            std::nullopt);
}

}  // namespace
}  // namespace vellumar::platform
