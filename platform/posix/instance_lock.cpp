// The lock is an exclusive flock(2) on a per-user shared memory object. The
// holder removes the name when it lets go, so a newcomer may have locked the
// object just as it was removed; it then checks that the name still leads
// to the object it locked, and starts over when it does not.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/shared_block.h"

namespace vellumar::platform {
namespace {

bool SameObject(const char* native, const struct stat& held) noexcept {
  int fd = ::shm_open(native, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  bool same = ::fstat(fd, &st) == 0 && st.st_dev == held.st_dev && st.st_ino == held.st_ino;
  ::close(fd);
  return same;
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {
  std::memcpy(m_name, other.m_name, sizeof m_name);
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = std::exchange(other.m_fd, -1);
    std::memcpy(m_name, other.m_name, sizeof m_name);
  }
  return *this;
}

InstanceLock InstanceLock::Acquire(const char* name) noexcept {
  InstanceLock lock;
  if (!PerUserObjectName(name, lock.m_name, sizeof lock.m_name)) {
    errno = ENAMETOOLONG;
    return lock;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = ::shm_open(lock.m_name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return lock;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
      ::close(fd);
      errno = EACCES;
      return lock;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      ::close(fd);
      errno = error;
      return lock;
    }
    if (SameObject(lock.m_name, st)) {
      lock.m_fd = fd;
      return lock;
    }
    ::close(fd);
  }
  errno = EAGAIN;
  return lock;
}

void InstanceLock::Release() noexcept {
  if (m_fd < 0) return;
  // Removed while still held: whoever opens the name from now on makes a
  // new object, and whoever opened the old one finds it gone.
  ::shm_unlink(m_name);
  ::close(m_fd);
  m_fd = -1;
}

}  // namespace vellumar::platform
