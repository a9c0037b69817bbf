// The file seam of the platform (platform/native_file.h) in place for the
// length of a test: one step made to fail in the backend's own way, the
// handles that the backend opens and closes counted, and a hook that runs
// while a file is held, just before each read.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/native_file.h"

namespace vellumar::testing {

using platform::FileFailure;
using platform::FileHandle;
using platform::test::FileOperation;

class ScopedFileSeam {
 public:
  // Counts handles and fails nothing.
  ScopedFileSeam() : ScopedFileSeam(FileOperation::none, FileFailure::ioError) {}
  // Makes `operation` fail with `failure` until the object is destroyed.
  ScopedFileSeam(FileOperation operation, FileFailure failure) {
    m_seam.failing = operation;
    m_seam.failure = failure;
    m_seam.beforeRead = &RunBeforeRead;
    m_seam.context = this;
    m_previous = platform::test::SetFileSeam(&m_seam);
  }
  ~ScopedFileSeam() { platform::test::SetFileSeam(m_previous); }
  ScopedFileSeam(const ScopedFileSeam&) = delete;
  ScopedFileSeam& operator=(const ScopedFileSeam&) = delete;

  int opened() const { return m_seam.opened; }
  int closed() const { return m_seam.closed; }
  // Runs while the file is held, just before each read.
  void BeforeRead(std::function<void(FileHandle)> hook) { m_beforeRead = std::move(hook); }

 private:
  static void RunBeforeRead(FileHandle handle, void* self) {
    const auto& hook = static_cast<ScopedFileSeam*>(self)->m_beforeRead;
    if (hook) hook(handle);
  }

  platform::test::FileSeam m_seam;
  platform::test::FileSeam* m_previous = nullptr;
  std::function<void(FileHandle)> m_beforeRead;
};

// The error number that the backend reports for `failure`: what a
// CFileException carries when the seam injects it.
inline long OsErrorFor(FileFailure failure) { return platform::native_file::ErrorOf(failure).code; }

// "<operation> fails: <failure>", for messages.
inline std::string FileFaultName(FileOperation operation, FileFailure failure) {
  static const char* const kOperations[] = {"nothing", "open", "status", "read", "close"};
  static const char* const kFailures[] = {
      "not found", "access denied",  "sharing violation", "too many open files",
      "I/O error", "invalid handle", "bad seek"};
  return std::string(kOperations[static_cast<int>(operation)]) +
         " fails: " + kFailures[static_cast<int>(failure)];
}

}  // namespace vellumar::testing
