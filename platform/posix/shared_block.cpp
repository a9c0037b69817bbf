#include "platform/shared_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vellumar::platform {
namespace {

constexpr std::size_t kMaxName = 256;

// A block counts only when it is ours and closed to everyone else: another
// user could otherwise plant a block under our name and read the records.
bool OwnedByUs(int fd, struct stat& st) noexcept {
  if (::fstat(fd, &st) != 0) return false;
  return st.st_uid == ::geteuid() && (st.st_mode & 077) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool PerUserObjectName(const char* name, char* out, std::size_t capacity) noexcept {
  // VELLUMAR_NAMESPACE keeps a private set of objects apart from the user's
  // usual ones: a second logger for a test run, say.
  const char* ns = std::getenv("VELLUMAR_NAMESPACE");
  int n =
      (ns != nullptr && *ns != '\0')
          ? std::snprintf(out, capacity, "/%s.%s.%u", ns, name, static_cast<unsigned>(::geteuid()))
          : std::snprintf(out, capacity, "/%s.%u", name, static_cast<unsigned>(::geteuid()));
  if (n < 0 || static_cast<std::size_t>(n) >= capacity) return false;
  for (char* p = out + 1; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') *p = '_';
  }
  return true;
}

SharedMapping::~SharedMapping() { Close(); }

SharedMapping::SharedMapping(SharedMapping&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_size(std::exchange(other.m_size, 0)),
      m_access(other.m_access) {}

SharedMapping& SharedMapping::operator=(SharedMapping&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
    m_size = std::exchange(other.m_size, 0);
    m_access = other.m_access;
  }
  return *this;
}

void SharedMapping::Close() noexcept {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_size = 0;
}

SharedMapping SharedMapping::Open(const char* name, BlockAccess access) noexcept {
  SharedMapping mapping;
  char native[kMaxName];
  if (!PerUserObjectName(name, native, sizeof native)) return mapping;
  int fd = ::shm_open(native, (access == BlockAccess::write ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
  if (fd < 0) return mapping;
  struct stat st;
  if (!OwnedByUs(fd, st)) {
    ::close(fd);
    return mapping;
  }
  mapping.m_fd = fd;
  mapping.m_size = static_cast<std::size_t>(st.st_size);
  mapping.m_access = access;
  return mapping;
}

SharedMapping SharedMapping::Create(const char* name, std::size_t size) noexcept {
  SharedMapping mapping;
  char native[kMaxName];
  if (!PerUserObjectName(name, native, sizeof native)) {
    errno = ENAMETOOLONG;
    return mapping;
  }
  // A block of that name can only be a dead creator's leftover (or someone
  // else's plant): start from a fresh object either way.
  ::shm_unlink(native);
  int fd = ::shm_open(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return mapping;
  if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    int error = errno;
    ::close(fd);
    ::shm_unlink(native);
    errno = error;
    return mapping;
  }
  mapping.m_fd = fd;
  mapping.m_size = size;
  mapping.m_access = BlockAccess::write;
  return mapping;
}

bool SharedMapping::Remove(const char* name) noexcept {
  char native[kMaxName];
  return PerUserObjectName(name, native, sizeof native) && ::shm_unlink(native) == 0;
}

SharedView SharedMapping::MapView() const noexcept {
  if (m_fd < 0 || m_size == 0) return {};
  int prot = m_access == BlockAccess::write ? PROT_READ | PROT_WRITE : PROT_READ;
  void* p = ::mmap(nullptr, m_size, prot, MAP_SHARED, m_fd, 0);
  if (p == MAP_FAILED) return {};
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
