// The file-error exception that the library's file object raises and that
// the resolution queries let through to the host.
//
// Header-only on purpose: a host catches it by type, and matching works
// across the library boundary because the type is identified by its name.
#pragma once

#include <cstddef>
#include <cstring>
#include <exception>

class CFileException : public std::exception {
 public:
  // Causes, derived from the operating system's error.
  enum Cause : int {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  static constexpr std::size_t kMaxFileName = 1024;

  CFileException() noexcept = default;
  CFileException(Cause cause, long osError, const char* fileName = nullptr) noexcept
      : m_cause(cause), m_lOsError(osError) {
    SetFileName(fileName);
  }

  void SetFileName(const char* fileName) noexcept {
    m_strFileName[0] = '\0';
    if (fileName == nullptr) return;
    std::size_t n = std::strlen(fileName);
    if (n >= kMaxFileName) n = kMaxFileName - 1;  // keep the start, never overrun
    std::memcpy(m_strFileName, fileName, n);
    m_strFileName[n] = '\0';
  }

  const char* what() const noexcept override { return CauseName(m_cause); }

  static constexpr const char* CauseName(int cause) noexcept {
    switch (cause) {
      case none:
        return "none";
      case genericException:
        return "genericException";
      case fileNotFound:
        return "fileNotFound";
      case badPath:
        return "badPath";
      case tooManyOpenFiles:
        return "tooManyOpenFiles";
      case accessDenied:
        return "accessDenied";
      case invalidFile:
        return "invalidFile";
      case removeCurrentDir:
        return "removeCurrentDir";
      case directoryFull:
        return "directoryFull";
      case badSeek:
        return "badSeek";
      case hardIO:
        return "hardIO";
      case sharingViolation:
        return "sharingViolation";
      case lockViolation:
        return "lockViolation";
      case diskFull:
        return "diskFull";
      case endOfFile:
        return "endOfFile";
      default:
        return "unknown";
    }
  }

  Cause m_cause = none;
  long m_lOsError = 0;                    // the operating system's error number (errno natively)
  char m_strFileName[kMaxFileName] = {};  // the path as passed to a failed open, else empty
};
