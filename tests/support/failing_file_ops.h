// A file-operation table for tests: the real system calls, with one of
// them made to fail, and a count of descriptors opened and closed.
#pragma once

#include <errno.h>

#include <functional>

#include "platform/posix/file_ops.h"

namespace vellumar::testing {

enum class FileOp { none, open, fstat, flock, pread, close };

class FailingFileOps {
 public:
  // Makes `op` fail with `error` until the object is destroyed.
  FailingFileOps(FileOp op, int error) {
    failing_ = op;
    error_ = error;
    opened_ = closed_ = 0;
    onPread_ = nullptr;
    previous_ = platform::posix::test::SetFileOps(&kOps);
  }
  ~FailingFileOps() {
    platform::posix::test::SetFileOps(previous_);
    onPread_ = nullptr;
  }
  FailingFileOps(const FailingFileOps&) = delete;
  FailingFileOps& operator=(const FailingFileOps&) = delete;

  int opened() const { return opened_; }
  int closed() const { return closed_; }
  // Runs while the file is held, just before each read.
  void OnPread(std::function<void(int fd)> hook) { onPread_ = std::move(hook); }

 private:
  static const platform::posix::FileOps& Real() { return platform::posix::SystemFileOps(); }
  static bool Fails(FileOp op) {
    if (failing_ != op) return false;
    errno = error_;
    return true;
  }
  static int Open(const char* path, int flags) {
    if (Fails(FileOp::open)) return -1;
    int fd = Real().open(path, flags);
    if (fd >= 0) ++opened_;
    return fd;
  }
  static int Fstat(int fd, struct stat* st) {
    return Fails(FileOp::fstat) ? -1 : Real().fstat(fd, st);
  }
  static int Flock(int fd, int operation) {
    return Fails(FileOp::flock) ? -1 : Real().flock(fd, operation);
  }
  static ssize_t Pread(int fd, void* buf, size_t count, off_t offset) {
    if (onPread_) onPread_(fd);
    return Fails(FileOp::pread) ? -1 : Real().pread(fd, buf, count, offset);
  }
  static int Close(int fd) {
    int rc = Real().close(fd);  // the descriptor goes whatever is reported
    ++closed_;
    return Fails(FileOp::close) ? -1 : rc;
  }

  static constexpr platform::posix::FileOps kOps = {Open, Fstat, Flock, Pread, Close};
  static inline FileOp failing_ = FileOp::none;
  static inline int error_ = 0;
  static inline int opened_ = 0;
  static inline int closed_ = 0;
  static inline std::function<void(int)> onPread_;
  const platform::posix::FileOps* previous_ = nullptr;
};

}  // namespace vellumar::testing
