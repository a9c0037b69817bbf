// The framework's time value: a signed 32-bit count of seconds since
// 1970-01-01 00:00:00 UTC. It shows the instants 0 to 2147483647
// (2038-01-19 03:14:07 UTC); -1 marks a reading that could not be converted.
//
// Local time is that of the C library's zone (platform/local_zone.h). The
// text never depends on the process locale: month names are always English.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/civil_time.h"

namespace vellumar::platform {

class CTime {
 public:
  // The buffer that Format writes into; a text that does not fit is empty.
  static constexpr std::size_t kFormatBufferSize = 128;

  constexpr CTime() noexcept = default;
  constexpr explicit CTime(std::int32_t time) noexcept : m_time(time) {}

  // The time value for a file's last-write time. The time is moved to local
  // time by the offset in force now, whatever was in force when the file was
  // written, and the reading is converted by FromLocalReading. A reading
  // before 1900, or one that cannot be made, gives 0.
  static CTime FromFileTime(Instant lastWrite) noexcept;

  // The time value of a local wall-clock reading under the zone's own rules
  // (LocalOffsetsFor): daylight-saving time where it applies, and in the
  // interval skipped when it begins. -1 unless the reading taken as standard
  // time lies within 0 to 2147483647 and the reading taken as UTC is not
  // after 2038-01-19 03:14:07.
  static CTime FromLocalReading(const CivilTime& reading) noexcept;

  constexpr std::int32_t GetTime() const noexcept { return m_time; }

  // Writes the local time of the value by `format` into `text`: %H, %M, %S
  // and %d as two digits, %Y as the year, %B as the month's English name,
  // %% as '%'; every other character as it stands. The text is empty when
  // the value is negative (no local time is given before 1970), when the
  // format holds another directive, or when the text and its NUL do not fit.
  void Format(const char* format, char (&text)[kFormatBufferSize]) const noexcept;

 private:
  std::int32_t m_time = 0;
};

}  // namespace vellumar::platform
