// Vellumar: the script function library's interface for hosts written in C++.
//
// A host loads the library (libvellumar.so natively, vellumar.dll on Windows)
// and calls the exports below by name. The queries return nothing: they write
// their answer into storage the caller supplies (no size is passed; each
// export states what it needs) or raise.
//
// What the exports raise:
//   - ScriptError: thrown as a bare `unsigned int` whose value is one of the
//     failure codes below. Catch it as `catch (unsigned int code)`, not as an
//     exception class.
//   - CFileException (vellumar/file_exception.h): let through by
//     GetResolutionStr and GetResolutionInt when the information file cannot
//     be opened, and by every query when positioning, reading or closing fails.
// When an export raises, the caller's storage is left as it was.
#pragma once

#include <cstdint>

#include "vellumar/file_exception.h"

// Marks the exports. The library is built with every other symbol hidden, so
// a compiler that understands GNU attributes gives these default visibility;
// which names the module exports, and at which ordinals, the build takes from
// library/exports.txt. Any other compiler (a host's) sees plain declarations.
#if defined(__GNUC__)
#define VELLUMAR_API __attribute__((visibility("default")))
#else
#define VELLUMAR_API
#endif

namespace vellumar {

// The payload type of a ScriptError.
using ScriptError = unsigned int;

inline constexpr ScriptError ERR_INFO_OPEN = 2562;     // information file cannot be opened
inline constexpr ScriptError ERR_INFO_READ = 2563;     // a read of it delivered no bytes
inline constexpr ScriptError ERR_STAMP_OPEN = 2564;    // save-stamp file cannot be opened
inline constexpr ScriptError ERR_STAMP_STATUS = 2565;  // its status cannot be read

// The name of a failure code, or nullptr for a value that is none of them.
constexpr const char* ScriptErrorName(ScriptError code) noexcept {
  switch (code) {
    case ERR_INFO_OPEN:
      return "ERR_INFO_OPEN";
    case ERR_INFO_READ:
      return "ERR_INFO_READ";
    case ERR_STAMP_OPEN:
      return "ERR_STAMP_OPEN";
    case ERR_STAMP_STATUS:
      return "ERR_STAMP_STATUS";
    default:
      return nullptr;
  }
}

}  // namespace vellumar

extern "C" {

// Ordinal 1. Writes "<name>( <args> );" for a known query name (ASCII letter
// case ignored; the name is kept as spelt) and returns the offsets of the
// first placeholder: start in bits 0-15, end in bits 16-31. An unknown name
// gives "<name>(" and 0. Needs strlen(name) + 25 bytes at most.
VELLUMAR_API std::uint32_t PasteFunc(const char* lpszFuncName, char* lpszPasteText);

// Ordinal 2. "<width> x <height>", at most 14 bytes.
VELLUMAR_API void GetResolutionStr(char* ResolutionStr);

// Ordinal 3. Width through ResWidth, then height through ResHeight.
VELLUMAR_API void GetResolutionInt(std::int32_t* ResWidth, std::int32_t* ResHeight);

// Ordinal 4. The version that saved the application, at most 33 bytes.
VELLUMAR_API void GetAppVersion(char* AppVersion);

// Ordinal 5. The operating-system family, at most 12 bytes.
VELLUMAR_API void GetOSVer(char* OSVersion);

// Ordinal 6. Local time of the last save, "%H:%M:%S  %B %d, %Y" with English
// month names, or the empty text; at most 29 bytes.
VELLUMAR_API void GetLastSaveDate(char* Updated);

}  // extern "C"
