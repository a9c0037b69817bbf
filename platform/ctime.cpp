#include "platform/ctime.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "platform/clock.h"
#include "platform/local_zone.h"

namespace vellumar::platform {
namespace {

constexpr std::int64_t kFirstReadingYear = 1900;
constexpr std::int64_t kLastTime = std::numeric_limits<std::int32_t>::max();
constexpr CTime kNotExpressible{-1};

constexpr const char* kMonthNames[] = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December",
};

// Fills a fixed buffer from its start, keeping room for the NUL; once
// something does not fit, the text is no longer whole.
class TextWriter {
 public:
  template <std::size_t N>
  explicit TextWriter(char (&buffer)[N]) noexcept : m_p(buffer), m_end(buffer + N - 1) {}

  void Put(std::string_view s) noexcept {
    if (m_whole && s.size() <= static_cast<std::size_t>(m_end - m_p)) {
      std::memcpy(m_p, s.data(), s.size());
      m_p += s.size();
    } else {
      m_whole = false;
    }
  }

  // Decimal, with leading zeros up to `width` digits.
  void PutNumber(std::int64_t value, int width) noexcept {
    char digits[24];
    char* const last = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto n = last - digits; n < width; ++n) Put("0");
    Put(std::string_view(digits, static_cast<std::size_t>(last - digits)));
  }

  // Ends the text with its NUL; false when it is not whole.
  bool Finish() noexcept {
    *m_p = '\0';
    return m_whole;
  }

 private:
  char* m_p;
  char* m_end;  // where the NUL must go at the latest
  bool m_whole = true;
};

bool FormatReading(const char* format, const CivilTime& c,
                   char (&text)[CTime::kFormatBufferSize]) noexcept {
  TextWriter out(text);
  for (const char* f = format; *f != '\0'; ++f) {
    if (*f != '%') {
      out.Put(std::string_view(f, 1));
      continue;
    }
    switch (*++f) {
      case 'H':
        out.PutNumber(c.hour, 2);
        break;
      case 'M':
        out.PutNumber(c.minute, 2);
        break;
      case 'S':
        out.PutNumber(c.second, 2);
        break;
      case 'd':
        out.PutNumber(c.day, 2);
        break;
      case 'Y':
        out.PutNumber(c.year, 1);
        break;
      case 'B':
        out.Put(kMonthNames[c.month - 1]);
        break;
      case '%':
        out.Put("%");
        break;
      default:
        return false;  // an unknown directive, or '%' ending the format
    }
  }
  return out.Finish();
}

}  // namespace

CTime CTime::FromFileTime(Instant lastWrite) noexcept {
  const std::optional<UtcOffset> offsetNow = LocalOffsetAt(Now());
  if (!offsetNow) return CTime(0);
  const CivilTime reading = CivilFromInstant(lastWrite, *offsetNow);
  if (reading.year < kFirstReadingYear) return CTime(0);
  return FromLocalReading(reading);
}

CTime CTime::FromLocalReading(const CivilTime& reading) noexcept {
  const std::optional<Instant> asUtc = InstantFromCivil(reading, UtcOffset{0});
  if (!asUtc || asUtc->unixSeconds > kLastTime) return kNotExpressible;
  const std::optional<LocalReadingOffsets> offsets = LocalOffsetsFor(reading);
  if (!offsets) return kNotExpressible;
  const std::optional<Instant> asStandard = InstantFromCivil(reading, offsets->standard);
  if (!asStandard || asStandard->unixSeconds < 0 || asStandard->unixSeconds > kLastTime) {
    return kNotExpressible;
  }
  const std::optional<Instant> denoted = InstantFromCivil(reading, offsets->applied);
  if (!denoted || denoted->unixSeconds < std::numeric_limits<std::int32_t>::min() ||
      denoted->unixSeconds > kLastTime) {
    return kNotExpressible;
  }
  return CTime(static_cast<std::int32_t>(denoted->unixSeconds));
}

void CTime::Format(const char* format, char (&text)[kFormatBufferSize]) const noexcept {
  text[0] = '\0';
  if (m_time < 0) return;
  const Instant t{m_time};
  const std::optional<UtcOffset> offset = LocalOffsetAt(t);
  if (!offset || !FormatReading(format, CivilFromInstant(t, *offset), text)) text[0] = '\0';
}

}  // namespace vellumar::platform
