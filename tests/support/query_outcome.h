// What a query did: the answer it wrote, or what it raised.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "vellumar/vellumar.h"

namespace vellumar::testing {

struct Outcome {
  enum Kind { answered, scriptError, fileError } kind = answered;
  std::string text;  // the answer, or "ScriptError <code>", or the file error's cause
  long osError = 0;  // for a file error

  static Outcome Answer(std::string t) { return {answered, std::move(t), 0}; }
  static Outcome Script(unsigned code) { return {scriptError, std::to_string(code), 0}; }
  static Outcome File(int cause, long osError = 0) {
    return {fileError, CFileException::CauseName(cause), osError};
  }
  bool operator==(const Outcome& o) const {
    return kind == o.kind && text == o.text &&
           (kind != fileError || o.osError == 0 || osError == 0 || osError == o.osError);
  }
};

inline std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  static const char* kinds[] = {"answer", "ScriptError", "CFileException"};
  os << kinds[o.kind] << " \"" << o.text << "\"";
  if (o.kind == Outcome::fileError) os << " (errno " << o.osError << ")";
  return os;
}

// Fill byte of a caller's buffer before a call: a raising query must leave
// every byte of it as it was.
inline constexpr unsigned char kUntouched = 0xA5;

// Calls a text query on a buffer of 64 bytes. A failure that changed the
// buffer is reported as an answer holding "buffer changed".
template <typename Query>
Outcome CallText(Query query) {
  char buffer[64];
  std::memset(buffer, kUntouched, sizeof buffer);
  auto untouched = [&] {
    for (char c : buffer) {
      if (static_cast<unsigned char>(c) != kUntouched) return false;
    }
    return true;
  };
  try {
    query(buffer);
  } catch (unsigned int code) {
    return untouched() ? Outcome::Script(code) : Outcome::Answer("buffer changed");
  } catch (const CFileException& e) {
    return untouched() ? Outcome::File(e.m_cause, e.m_lOsError) : Outcome::Answer("buffer changed");
  }
  std::size_t n = strnlen(buffer, sizeof buffer);
  if (n + 1 < sizeof buffer && static_cast<unsigned char>(buffer[n + 1]) != kUntouched) {
    return Outcome::Answer("written past the NUL");
  }
  return Outcome::Answer(std::string(buffer, n));
}

// GetResolutionInt, reported as "<width> <height>".
inline Outcome CallResolutionInt() {
  std::int32_t w = -7, h = -7;
  try {
    GetResolutionInt(&w, &h);
  } catch (unsigned int code) {
    return (w == -7 && h == -7) ? Outcome::Script(code) : Outcome::Answer("storage changed");
  } catch (const CFileException& e) {
    return (w == -7 && h == -7) ? Outcome::File(e.m_cause, e.m_lOsError)
                                : Outcome::Answer("storage changed");
  }
  return Outcome::Answer(std::to_string(w) + " " + std::to_string(h));
}

}  // namespace vellumar::testing
