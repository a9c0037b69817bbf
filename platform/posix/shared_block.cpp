// A block is a POSIX shared memory object of the user's, mode 0600; its
// size is learnt with fstat, so a view never reaches past its end.
#include "platform/shared_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/descriptor.h"
#include "platform/posix/user_objects.h"

namespace vellumar::platform {
namespace {

void Report(OsError* error, int code) noexcept {
  if (error != nullptr) *error = OsError{code};
}

}  // namespace

SharedMapping SharedMapping::Open(const char* name, BlockAccess access) noexcept {
  SharedMapping mapping;
  char native[posix::kMaxObjectName];
  if (!posix::PerUserObjectName(name, native, sizeof native)) return mapping;
  UniqueHandle fd = posix::AdoptFd(
      ::shm_open(native, (access == BlockAccess::write ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0));
  struct stat st;
  if (!fd || !posix::OwnedByUserAlone(posix::Fd(fd), st)) return mapping;
  mapping.m_handle = std::move(fd);
  mapping.m_size = static_cast<std::size_t>(st.st_size);
  mapping.m_access = access;
  return mapping;
}

SharedMapping SharedMapping::Create(const char* name, std::size_t size, OsError* error) noexcept {
  SharedMapping mapping;
  char native[posix::kMaxObjectName];
  if (!posix::PerUserObjectName(name, native, sizeof native)) {
    Report(error, ENAMETOOLONG);
    return mapping;
  }
  // A block of that name can only be a dead creator's leftover (or someone
  // else's plant): start from a fresh object either way.
  ::shm_unlink(native);
  UniqueHandle fd = posix::AdoptFd(::shm_open(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!fd) {
    Report(error, errno);
    return mapping;
  }
  if (::fchmod(posix::Fd(fd), 0600) != 0 ||
      ::ftruncate(posix::Fd(fd), static_cast<off_t>(size)) != 0) {
    const int failure = errno;
    fd.Close();
    ::shm_unlink(native);
    Report(error, failure);
    return mapping;
  }
  mapping.m_handle = std::move(fd);
  mapping.m_size = size;
  mapping.m_access = BlockAccess::write;
  return mapping;
}

bool SharedMapping::Remove(const char* name) noexcept {
  char native[posix::kMaxObjectName];
  return posix::PerUserObjectName(name, native, sizeof native) && ::shm_unlink(native) == 0;
}

SharedView SharedMapping::MapView(OsError* error) const noexcept {
  if (!m_handle || m_size == 0) {
    Report(error, EINVAL);
    return {};
  }
  int prot = m_access == BlockAccess::write ? PROT_READ | PROT_WRITE : PROT_READ;
  void* p = ::mmap(nullptr, m_size, prot, MAP_SHARED, posix::Fd(m_handle), 0);
  if (p == MAP_FAILED) {
    Report(error, errno);
    return {};
  }
  return SharedView(p, m_size);
}

SharedView::~SharedView() { Unmap(); }

SharedView::SharedView(SharedView&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

SharedView& SharedView::operator=(SharedView&& other) noexcept {
  if (this != &other) {
    Unmap();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
  }
  return *this;
}

void SharedView::Unmap() noexcept {
  if (m_data != nullptr) ::munmap(m_data, m_size);
  m_data = nullptr;
  m_size = 0;
}

}  // namespace vellumar::platform
