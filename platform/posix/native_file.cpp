// Data files on POSIX: a non-blocking read-only open of a regular file, an
// exclusive flock(2) taken without waiting for "no sharing", pread at the
// position that the file object keeps. A query makes no system call beyond
// open, fstat, flock, pread and close.
#include "platform/native_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {
namespace {

using test::FileOperation;
using test::FileSeam;

std::atomic<FileSeam*> g_pSeam{nullptr};

FileSeam* CurrentSeam() noexcept { return g_pSeam.load(std::memory_order_acquire); }

// Whether the test seam makes `op` fail; its error is then native_file::ErrorOf.
bool Injected(const FileSeam* seam, FileOperation op) noexcept {
  return seam != nullptr && seam->failing == op;
}

int Descriptor(FileHandle handle) noexcept { return static_cast<int>(handle); }

// Turns every backslash into '/' while copying; false when the path does not
// fit the native limit.
bool ToNativePath(const char* path, char (&out)[PATH_MAX]) noexcept {
  std::size_t i = 0;
  for (; path[i] != '\0'; ++i) {
    if (i + 1 >= sizeof out) return false;
    out[i] = path[i] == '\\' ? '/' : path[i];
  }
  out[i] = '\0';
  return true;
}

// The status read that the open takes: 0, or the errno that fails the open.
int CheckStatus(int fd, const FileSeam* seam, struct stat& st) noexcept {
  if (Injected(seam, FileOperation::status)) {
    return static_cast<int>(native_file::ErrorOf(seam->failure).code);
  }
  if (::fstat(fd, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return ENXIO;  // a FIFO or device: refused, never waited on
  return 0;
}

// No sharing: an exclusive lock, taken without waiting. 0 or the errno.
int LockExclusive(int fd, const FileSeam* seam) noexcept {
  if (Injected(seam, FileOperation::open) && seam->failure == FileFailure::sharingViolation) {
    return static_cast<int>(native_file::ErrorOf(FileFailure::sharingViolation).code);
  }
  const int rc = posix::RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
  return rc == 0 ? 0 : errno;
}

// close(2), counted for the seam. EINTR still released the descriptor on
// Linux, so it counts as closed.
int CloseDescriptor(int fd, FileSeam* seam) noexcept {
  const int rc = ::close(fd);
  const int error = rc != 0 && errno != EINTR ? errno : 0;
  if (seam != nullptr) ++seam->closed;
  return error;
}

}  // namespace

namespace native_file {

OsError Open(const char* path, Opened& file) noexcept {
  char native[PATH_MAX];
  if (!ToNativePath(path, native)) return OsError{ENAMETOOLONG};
  FileSeam* seam = CurrentSeam();
  if (Injected(seam, FileOperation::open) && seam->failure != FileFailure::sharingViolation) {
    return ErrorOf(seam->failure);
  }

  // Non-blocking so that a FIFO or device in the file's place cannot hang
  // the open; such files are refused by the status check.
  const int fd = posix::RetryOnInterrupt(
      [&] { return ::open(native, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); });
  if (fd < 0) return LastOsError();
  if (seam != nullptr) ++seam->opened;

  struct stat st;
  int error = CheckStatus(fd, seam, st);
  if (error == 0) error = LockExclusive(fd, seam);
  if (error != 0) {
    CloseDescriptor(fd, seam);
    return OsError{error};
  }
  file.handle = static_cast<FileHandle>(fd);
  file.length = static_cast<std::uint64_t>(st.st_size);
  // tv_sec is the whole second, also before 1970: tv_nsec is never negative.
  file.lastWrite = Instant{static_cast<std::int64_t>(st.st_mtim.tv_sec)};
  return {};
}

OsError ReadAt(FileHandle handle, void* buffer, unsigned count, std::uint64_t offset,
               unsigned& delivered) noexcept {
  FileSeam* seam = CurrentSeam();
  if (seam != nullptr && seam->beforeRead != nullptr) seam->beforeRead(handle, seam->context);
  if (Injected(seam, FileOperation::read)) return ErrorOf(seam->failure);
  const ssize_t n = posix::RetryOnInterrupt(
      [&] { return ::pread(Descriptor(handle), buffer, count, static_cast<off_t>(offset)); });
  if (n < 0) return LastOsError();
  delivered = static_cast<unsigned>(n);
  return {};
}

OsError Close(FileHandle handle) noexcept {
  FileSeam* seam = CurrentSeam();
  const int error = CloseDescriptor(Descriptor(handle), seam);
  if (Injected(seam, FileOperation::close)) return ErrorOf(seam->failure);
  return OsError{error};
}

OsError ErrorOf(FileFailure failure) noexcept {
  switch (failure) {
    case FileFailure::notFound:
      return OsError{ENOENT};
    case FileFailure::accessDenied:
      return OsError{EACCES};
    case FileFailure::sharingViolation:
      return OsError{EWOULDBLOCK};
    case FileFailure::tooManyOpenFiles:
      return OsError{EMFILE};
    case FileFailure::ioError:
      return OsError{EIO};
    case FileFailure::invalidHandle:
      return OsError{EBADF};
    case FileFailure::badSeek:
      return OsError{EINVAL};
  }
  return OsError{EIO};
}

CFileException::Cause CauseOf(OsError error) noexcept {
  switch (error.code) {
    case 0:
      return CFileException::none;
    case ENOENT:
      return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return CFileException::badPath;
    case EMFILE:
    case ENFILE:
      return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENXIO:
      return CFileException::accessDenied;
    case EWOULDBLOCK:
      return CFileException::sharingViolation;
    case EBADF:
      return CFileException::invalidFile;
    case EINVAL:
      return CFileException::badSeek;
    case EIO:
      return CFileException::hardIO;
    case ENOSPC:
    case EDQUOT:
      return CFileException::diskFull;
    default:
      return CFileException::genericException;
  }
}

}  // namespace native_file

namespace test {

FileSeam* SetFileSeam(FileSeam* seam) noexcept {
  return g_pSeam.exchange(seam, std::memory_order_acq_rel);
}

bool IsInheritable(FileHandle handle) noexcept {
  const int flags = ::fcntl(Descriptor(handle), F_GETFD);
  return flags >= 0 && (flags & FD_CLOEXEC) == 0;
}

}  // namespace test

}  // namespace vellumar::platform
