// The zone is the C library's: localtime_r and its tm_gmtoff, which see a
// change to TZ once tzset() has been called.
#include "platform/local_zone.h"

#include <time.h>

#include <cstdint>

namespace vellumar::platform {
namespace {

std::optional<UtcOffset> OffsetAt(std::int64_t unixSeconds) noexcept {
  const auto t = static_cast<time_t>(unixSeconds);
  tm fields{};
  if (::localtime_r(&t, &fields) == nullptr) return std::nullopt;
  return UtcOffset{static_cast<std::int32_t>(fields.tm_gmtoff)};
}

constexpr std::int64_t kQuarterYear = 7'889'238;  // a mean Gregorian year / 4

// The zone's standard offset near `unixSeconds`: the lowest of the offsets
// in force there, a quarter of a year later, and a quarter and half a year
// earlier. These four points lie a quarter of a year apart around the
// calendar, and daylight-saving time lasts less than three quarters of a
// year, so one of them is in standard time. The lowest rather than the one
// the C library flags as standard: some zones flag their winter time as
// daylight-saving time behind their standard time.
std::optional<UtcOffset> StandardOffsetNear(std::int64_t unixSeconds) noexcept {
  constexpr std::int64_t kSteps[] = {0, kQuarterYear, -kQuarterYear, -2 * kQuarterYear};
  std::optional<UtcOffset> lowest;
  for (std::int64_t step : kSteps) {
    std::int64_t probe = 0;
    if (__builtin_add_overflow(unixSeconds, step, &probe)) return std::nullopt;
    const std::optional<UtcOffset> offset = OffsetAt(probe);
    if (!offset) return std::nullopt;
    if (!lowest || offset->secondsEast < lowest->secondsEast) lowest = offset;
  }
  return lowest;
}

}  // namespace

std::optional<UtcOffset> LocalOffsetAt(Instant t) noexcept { return OffsetAt(t.unixSeconds); }

std::optional<LocalReadingOffsets> LocalOffsetsFor(const CivilTime& reading) noexcept {
  // The reading taken as UTC is within a day of the instant it denotes, near
  // enough to find the standard offset around it.
  const std::optional<Instant> asUtc = InstantFromCivil(reading, UtcOffset{0});
  if (!asUtc) return std::nullopt;
  const std::optional<UtcOffset> standard = StandardOffsetNear(asUtc->unixSeconds);
  if (!standard) return std::nullopt;
  const std::optional<Instant> asStandard = InstantFromCivil(reading, *standard);
  if (!asStandard) return std::nullopt;
  const std::optional<UtcOffset> applied = OffsetAt(asStandard->unixSeconds);
  if (!applied) return std::nullopt;
  return LocalReadingOffsets{*standard, *applied};
}

}  // namespace vellumar::platform
