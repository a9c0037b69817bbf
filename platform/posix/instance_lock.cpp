// The lock is an exclusive flock(2) on a per-user shared memory object. The
// holder removes the name when it lets go, so a newcomer may have locked the
// object just as it was removed; it then checks that the name still leads
// to the object it locked, and starts over when it does not.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/posix/descriptor.h"
#include "platform/posix/user_objects.h"

namespace vellumar::platform {
namespace {

bool SameObject(const char* native, const struct stat& held) noexcept {
  UniqueHandle fd = posix::AdoptFd(::shm_open(native, O_RDONLY | O_CLOEXEC, 0));
  struct stat st;
  return fd && ::fstat(posix::Fd(fd), &st) == 0 && st.st_dev == held.st_dev &&
         st.st_ino == held.st_ino;
}

InstanceLock Refused(LockResult outcome, int failure, LockResult* result, OsError* error) noexcept {
  if (result != nullptr) *result = outcome;
  if (error != nullptr) *error = OsError{failure};
  return InstanceLock();
}

}  // namespace

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : m_handle(std::move(other.m_handle)) {
  std::memcpy(m_name, other.m_name, sizeof m_name);
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_handle = std::move(other.m_handle);
    std::memcpy(m_name, other.m_name, sizeof m_name);
  }
  return *this;
}

InstanceLock InstanceLock::Acquire(const char* name, LockResult* result, OsError* error) noexcept {
  InstanceLock lock;
  if (!posix::PerUserObjectName(name, lock.m_name, sizeof lock.m_name)) {
    return Refused(LockResult::failed, ENAMETOOLONG, result, error);
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    UniqueHandle fd = posix::AdoptFd(::shm_open(lock.m_name, O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return Refused(LockResult::failed, errno, result, error);
    struct stat st;
    if (!posix::OwnedByUserAlone(posix::Fd(fd), st)) {
      return Refused(LockResult::failed, EACCES, result, error);
    }
    if (::flock(posix::Fd(fd), LOCK_EX | LOCK_NB) != 0) {
      const int failure = errno;
      return Refused(failure == EWOULDBLOCK ? LockResult::heldByAnother : LockResult::failed,
                     failure, result, error);
    }
    if (SameObject(lock.m_name, st)) {
      lock.m_handle = std::move(fd);
      if (result != nullptr) *result = LockResult::acquired;
      return lock;
    }
  }
  return Refused(LockResult::failed, EAGAIN, result, error);
}

void InstanceLock::Release() noexcept {
  if (!m_handle) return;
  // Removed while still held: whoever opens the name from now on makes a
  // new object, and whoever opened the old one finds it gone.
  ::shm_unlink(m_name);
  m_handle.Close();
}

}  // namespace vellumar::platform
