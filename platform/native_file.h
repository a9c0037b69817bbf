// The narrow interface between the file object (CFile, shared code) and the
// operating system: open a data file for reading without sharing, read at an
// offset, close. Each backend implements it; the shared file object keeps
// the position, the length and the exceptions. The backend also turns its
// own errors into the causes that a CFileException carries.
//
// The test hook below makes any step fail with a neutral failure that each
// backend maps to its own calls, so the same fault tests run on every build.
#pragma once

#include <cstdint>

#include "platform/file_handle.h"
#include "platform/instant.h"
#include "platform/os_error.h"
#include "vellumar/file_exception.h"

namespace vellumar::platform {

// Failures named without an operating system's numbers: those that tests
// inject, and those that the shared file object reports itself.
enum class FileFailure {
  notFound,
  accessDenied,
  sharingViolation,  // another holder has the file
  tooManyOpenFiles,
  ioError,
  invalidHandle,  // an operation on a file object that holds no file
  badSeek,        // a position before the start, or beyond what a file can hold
};

namespace native_file {

// What the open learnt about the file; the file is held without sharing from
// then on, so it stays true while the handle is held.
struct Opened {
  FileHandle handle = FileHandle::invalid;
  std::uint64_t length = 0;
  Instant lastWrite;  // whole seconds, a fraction dropped
};

// Opens `path` for reading, never creating it, and grants no sharing: while
// the handle is held every other open of the file fails, and the open fails
// while anyone else holds it. Only a regular file opens; nothing can make the
// open wait. The handle is not inherited by child processes. Backslashes in
// `path` act as separators. On failure nothing stays open and `file` is as
// it was.
OsError Open(const char* path, Opened& file) noexcept;

// Reads up to `count` bytes at `offset` in one request; `delivered` is less
// than asked only at the end of the file. `offset` is at most INT64_MAX.
OsError ReadAt(FileHandle handle, void* buffer, unsigned count, std::uint64_t offset,
               unsigned& delivered) noexcept;

// Closes the handle, which is gone whatever is reported.
OsError Close(FileHandle handle) noexcept;

// This backend's own error for a neutral failure.
OsError ErrorOf(FileFailure failure) noexcept;

// The cause that a CFileException carries for an error of this backend.
CFileException::Cause CauseOf(OsError error) noexcept;

}  // namespace native_file

namespace test {

// The steps of a file's life that a test can make fail. `status` is the
// look at the file's kind, length and time that the open takes.
enum class FileOperation { none, open, status, read, close };

// A test's view into the backend's file calls. The backend counts the
// handles it opens and closes, runs `beforeRead` while the file is held
// just before each read, and makes `failing` fail with its own error for
// `failure` (ErrorOf). Natively: an open failing with a sharing violation is
// the lock refused after a real open, which is then closed; other open
// failures come from the open itself; a failing close has really closed.
struct FileSeam {
  FileOperation failing = FileOperation::none;
  FileFailure failure = FileFailure::ioError;
  void (*beforeRead)(FileHandle handle, void* context) = nullptr;
  void* context = nullptr;
  int opened = 0;  // written by the backend
  int closed = 0;  // written by the backend
};

// Puts `seam` in place until the returned previous one is put back; nullptr
// restores the plain calls. For tests only; production code never calls it.
FileSeam* SetFileSeam(FileSeam* seam) noexcept;

// Whether a child process started now would inherit the handle.
bool IsInheritable(FileHandle handle) noexcept;

}  // namespace test

}  // namespace vellumar::platform
