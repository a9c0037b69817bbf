// The system calls behind CFile, as one narrow table so that tests can make
// any of them fail and see exactly what the caller does.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace vellumar::platform::posix {

struct FileOps {
  int (*open)(const char* path, int flags);
  int (*fstat)(int fd, struct stat* st);
  int (*flock)(int fd, int operation);
  ssize_t (*pread)(int fd, void* buf, size_t count, off_t offset);
  int (*close)(int fd);
};

// The real system calls.
const FileOps& SystemFileOps() noexcept;

// The table in use: the real one unless a test has put its own in place.
const FileOps& CurrentFileOps() noexcept;

namespace test {
// Replaces the table until the returned previous one is put back; nullptr
// restores the real calls. For tests only; production code never calls it.
const FileOps* SetFileOps(const FileOps* ops) noexcept;
}  // namespace test

}  // namespace vellumar::platform::posix
