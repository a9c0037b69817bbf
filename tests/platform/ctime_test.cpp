#include "platform/ctime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "support/time_scopes.h"

namespace vellumar::platform {
namespace {

using testing::kCentralEuropeanZone;
using testing::kEasternZone;
using testing::kUtcZone;
using testing::ScopedNow;
using testing::ScopedTimeZone;
using testing::Utc;

constexpr std::int64_t kLastTime = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kNotExpressible = -1;

// Southern hemisphere, east of UTC: daylight-saving time over New Year.
constexpr const char kSouthEastZone[] = "AEST-10AEDT,M10.1.0,M4.1.0/3";
// Southern hemisphere, west of UTC: daylight-saving time 3 hours west in
// January 2038, standard time 4 hours west.
constexpr const char kSouthWestZone[] = "<-04>4<-03>,M9.1.6/24,M4.1.6/24";

struct ReadingRow {
  const char* name;
  const char* zone;
  CivilTime reading;
  std::int64_t expected;  // the time value, or kNotExpressible
};

void ExpectTimeValues(const ReadingRow* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const ReadingRow& row = rows[i];
    ScopedTimeZone zone(row.zone);
    EXPECT_EQ(CTime::FromLocalReading(row.reading).GetTime(), row.expected)
        << row.name << " in " << row.zone;
  }
}

// A wall-clock reading to its time value, under rules given in TZ.
TEST(CTimeFromLocalReading, RuleZones) {
  const ReadingRow rows[] = {
      {"standard time",
       kEasternZone,
       {2004, 3, 3, 14, 5, 9},
       Utc(2004, 3, 3, 19, 5, 9).unixSeconds},
      {"daylight-saving time",
       kEasternZone,
       {2004, 7, 1, 8, 0, 0},
       Utc(2004, 7, 1, 12).unixSeconds},
      {"last second before the jump",
       kEasternZone,
       {2004, 4, 4, 1, 59, 59},
       Utc(2004, 4, 4, 6, 59, 59).unixSeconds},
      {"start of the skipped hour",
       kEasternZone,
       {2004, 4, 4, 2, 0, 0},
       Utc(2004, 4, 4, 6, 0, 0).unixSeconds},
      {"inside the skipped hour",
       kEasternZone,
       {2004, 4, 4, 2, 30, 0},
       Utc(2004, 4, 4, 6, 30, 0).unixSeconds},
      {"end of the skipped hour",
       kEasternZone,
       {2004, 4, 4, 2, 59, 59},
       Utc(2004, 4, 4, 6, 59, 59).unixSeconds},
      {"first reading after the jump",
       kEasternZone,
       {2004, 4, 4, 3, 0, 0},
       Utc(2004, 4, 4, 7, 0, 0).unixSeconds},
      {"before the repeated hour",
       kEasternZone,
       {2004, 10, 31, 0, 59, 59},
       Utc(2004, 10, 31, 4, 59, 59).unixSeconds},
      {"repeated hour, as standard time",
       kEasternZone,
       {2004, 10, 31, 1, 30, 0},
       Utc(2004, 10, 31, 6, 30, 0).unixSeconds},
      {"start of 1970 UTC", kEasternZone, {1969, 12, 31, 19, 0, 0}, 0},
      {"a second before 1970 UTC", kEasternZone, {1969, 12, 31, 18, 59, 59}, kNotExpressible},
      {"1900", kEasternZone, {1900, 1, 1, 0, 0, 0}, kNotExpressible},
      {"1968", kEasternZone, {1968, 12, 31, 23, 59, 59}, kNotExpressible},
      {"last instant, west", kEasternZone, {2038, 1, 18, 22, 14, 7}, kLastTime},
      {"after the last instant, west", kEasternZone, {2038, 1, 18, 22, 14, 8}, kNotExpressible},
      {"last instant, UTC", kUtcZone, {2038, 1, 19, 3, 14, 7}, kLastTime},
      {"after the last instant, UTC", kUtcZone, {2038, 1, 19, 3, 14, 8}, kNotExpressible},
      {"2039", kUtcZone, {2039, 1, 1, 0, 0, 0}, kNotExpressible},
      {"reading as UTC at the last instant, east",
       kCentralEuropeanZone,
       {2038, 1, 19, 3, 14, 7},
       Utc(2038, 1, 19, 2, 14, 7).unixSeconds},
      // The instant would fit; the reading taken as UTC does not.
      {"reading as UTC after the last instant, east",
       kCentralEuropeanZone,
       {2038, 1, 19, 3, 14, 8},
       kNotExpressible},
      {"skipped hour, east",
       kCentralEuropeanZone,
       {2004, 3, 28, 2, 30, 0},
       Utc(2004, 3, 28, 0, 30, 0).unixSeconds},
      {"southern summer", kSouthEastZone, {2004, 1, 15, 12, 0, 0}, Utc(2004, 1, 15, 1).unixSeconds},
      {"southern winter", kSouthEastZone, {2004, 6, 15, 12, 0, 0}, Utc(2004, 6, 15, 2).unixSeconds},
      {"southern skipped hour",
       kSouthEastZone,
       {2004, 10, 3, 2, 30, 0},
       Utc(2004, 10, 2, 15, 30, 0).unixSeconds},
      {"summer reading as standard time at the last instant",
       kSouthWestZone,
       {2038, 1, 18, 23, 14, 7},
       Utc(2038, 1, 19, 2, 14, 7).unixSeconds},
      // The instant, 03:14:07 UTC, would fit; the reading as standard time,
      // 04:14:07 UTC, does not.
      {"summer reading as standard time after the last instant",
       kSouthWestZone,
       {2038, 1, 19, 0, 14, 7},
       kNotExpressible},
      {"far future", kUtcZone, {std::int64_t{1} << 39, 1, 1, 0, 0, 0}, kNotExpressible},
      {"far past", kUtcZone, {-(std::int64_t{1} << 39), 1, 1, 0, 0, 0}, kNotExpressible},
  };
  ExpectTimeValues(rows, std::size(rows));
}

// The same under the zone database, where offsets have changed over time.
TEST(CTimeFromLocalReading, ZoneFiles) {
  for (const char* name : {"America/New_York", "Europe/Moscow", "Europe/London", "Europe/Dublin"}) {
    if (!testing::HasZoneFile(name)) GTEST_SKIP() << "no zone file " << name;
  }
  const ReadingRow rows[] = {
      {"skipped hour",
       "America/New_York",
       {2004, 4, 4, 2, 30, 0},
       Utc(2004, 4, 4, 6, 30, 0).unixSeconds},
      // Standard time was 4 hours east then, 3 hours east today.
      {"standard offset of the time",
       "Europe/Moscow",
       {2012, 6, 1, 16, 0, 0},
       Utc(2012, 6, 1, 12).unixSeconds},
      // Standard time was an hour east of UTC from 1968 to 1971.
      {"1970 standard time an hour east", "Europe/London", {1970, 1, 1, 1, 30, 0}, 1800},
      {"1970 reading before the first instant",
       "Europe/London",
       {1970, 1, 1, 0, 30, 0},
       kNotExpressible},
      // Winter is flagged as daylight-saving time behind summer's standard
      // time; the skipped hour is still shown earlier by the jump.
      {"skipped hour, winter flagged daylight-saving",
       "Europe/Dublin",
       {2004, 3, 28, 1, 30, 0},
       Utc(2004, 3, 28, 0, 30, 0).unixSeconds},
      {"winter, flagged daylight-saving",
       "Europe/Dublin",
       {2004, 1, 15, 12, 0, 0},
       Utc(2004, 1, 15, 12).unixSeconds},
  };
  ExpectTimeValues(rows, std::size(rows));
}

constexpr const char kSaveDateFormat[] = "%H:%M:%S  %B %d, %Y";

struct FormatRow {
  const char* zone;
  std::int64_t time;
  std::string format;
  std::string expected;
};

TEST(CTimeFormat, Texts) {
  const FormatRow rows[] = {
      {kUtcZone, 0, kSaveDateFormat, "00:00:00  January 01, 1970"},
      {kEasternZone, 0, kSaveDateFormat, "19:00:00  December 31, 1969"},
      {kCentralEuropeanZone, 0, kSaveDateFormat, "01:00:00  January 01, 1970"},
      {kUtcZone, kLastTime, kSaveDateFormat, "03:14:07  January 19, 2038"},
      {kEasternZone, Utc(2004, 7, 1, 12).unixSeconds, kSaveDateFormat, "08:00:00  July 01, 2004"},
      {kUtcZone, Utc(2004, 3, 1, 9, 5, 3).unixSeconds, kSaveDateFormat, "09:05:03  March 01, 2004"},
      {kUtcZone, -1, kSaveDateFormat, ""},
      {kUtcZone, std::numeric_limits<std::int32_t>::min(), kSaveDateFormat, ""},
      {kUtcZone, 0, "%Y%%", "1970%"},
      {kUtcZone, 0, "", ""},
      {kUtcZone, 0, "%y", ""},  // not a directive of this format
      {kUtcZone, 0, "%H%", ""},
      {kUtcZone, 0, std::string(127, 'x'), std::string(127, 'x')},
      {kUtcZone, 0, std::string(128, 'x'), ""},
      {kUtcZone, 0, std::string(123, 'x') + "%Y", std::string(123, 'x') + "1970"},
      {kUtcZone, 0, std::string(124, 'x') + "%Y", ""},
  };
  for (const FormatRow& row : rows) {
    ScopedTimeZone zone(row.zone);
    char text[CTime::kFormatBufferSize];
    std::memset(text, '#', sizeof text);
    CTime(static_cast<std::int32_t>(row.time)).Format(row.format.c_str(), text);
    EXPECT_EQ(text, row.expected) << row.time << " by \"" << row.format << "\" in " << row.zone;
  }
}

TEST(CTimeFormat, EnglishMonthNames) {
  constexpr const char* kNames[] = {"January",   "February", "March",    "April",
                                    "May",       "June",     "July",     "August",
                                    "September", "October",  "November", "December"};
  ScopedTimeZone zone(kUtcZone);
  for (int month = 1; month <= 12; ++month) {
    char text[CTime::kFormatBufferSize];
    CTime(static_cast<std::int32_t>(Utc(2004, month, 15).unixSeconds)).Format("%B", text);
    EXPECT_STREQ(text, kNames[month - 1]);
  }
}

// A file's last-write time to its time value, at a fixed moment of the call.
TEST(CTimeFromFileTime, OffsetOfTheMomentOfTheCall) {
  constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
  const Instant standardNow = Utc(2004, 1, 15, 12);
  const Instant daylightNow = Utc(2004, 7, 15, 12);
  struct Row {
    const char* name;
    Instant now;
    Instant lastWrite;
    std::int64_t expected;
  } const rows[] = {
      {"standard now, standard file", standardNow, Utc(2004, 3, 3, 19, 5, 9),
       Utc(2004, 3, 3, 19, 5, 9).unixSeconds},
      {"daylight now, standard file", daylightNow, Utc(2004, 3, 3, 19, 5, 9),
       Utc(2004, 3, 3, 20, 5, 9).unixSeconds},
      {"standard now, daylight file", standardNow, Utc(2004, 7, 1, 12),
       Utc(2004, 7, 1, 11).unixSeconds},
      {"standard now, skipped reading", standardNow, Utc(2004, 4, 4, 7, 30),
       Utc(2004, 4, 4, 6, 30).unixSeconds},
      {"file time 0", standardNow, Utc(1601, 1, 1), 0},
      {"reading before 1900", standardNow, Utc(1900, 1, 1, 4, 59, 59), 0},
      {"reading in 1900", standardNow, Utc(1900, 1, 1, 5, 0, 0), kNotExpressible},
      {"earliest instant", standardNow, Instant{kMin64}, 0},
      {"latest instant", standardNow, Instant{kMax64}, kNotExpressible},
      // No offset can be found for such a moment: the start of 1970 stands in.
      {"moment beyond the zone's reach", Instant{kMax64}, Utc(2004, 3, 3), 0},
  };
  ScopedTimeZone zone(kEasternZone);
  for (const Row& row : rows) {
    ScopedNow now(row.now);
    EXPECT_EQ(CTime::FromFileTime(row.lastWrite).GetTime(), row.expected) << row.name;
  }
}

}  // namespace
}  // namespace vellumar::platform
