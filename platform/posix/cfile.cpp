#include "platform/cfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>

#include "platform/posix/file_ops.h"

namespace vellumar::platform {
namespace {

using posix::CurrentFileOps;

CFileException::Cause CauseFromErrno(int osError) noexcept {
  switch (osError) {
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

// The whole native open: descriptor on success, -errno on failure. Nothing
// stays open on failure.
int OpenExclusive(const char* path, struct stat& st) noexcept {
  char native[PATH_MAX];
  if (!ToNativePath(path, native)) return -ENAMETOOLONG;
  const posix::FileOps& ops = CurrentFileOps();

  // Non-blocking so that a FIFO or device in the file's place cannot hang
  // the open; such files are refused below.
  int fd;
  do {
    fd = ops.open(native, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -errno;

  int error = 0;
  if (ops.fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    error = ENXIO;
  } else {
    int rc;
    do {
      rc = ops.flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) error = errno;
  }
  if (error != 0) {
    ops.close(fd);
    return -error;
  }
  return fd;
}

}  // namespace

CFile::CFile(const char* lpszFileName, unsigned nOpenFlags) {
  CFileException error;
  if (!Open(lpszFileName, nOpenFlags, &error)) throw error;
}

CFile::~CFile() {
  if (m_hFile >= 0) CurrentFileOps().close(m_hFile);
}

bool CFile::Open(const char* lpszFileName, unsigned nOpenFlags, CFileException* pError) noexcept {
  (void)nOpenFlags;           // only modeRead (0) exists: read access, no sharing
  if (m_hFile >= 0) Close();  // an object holds at most one file
  struct stat st;
  int fd = OpenExclusive(lpszFileName, st);
  if (fd < 0) {
    if (pError != nullptr) {
      pError->m_cause = CauseFromErrno(-fd);
      pError->m_lOsError = -fd;
      pError->SetFileName(lpszFileName);
    }
    return false;
  }
  m_hFile = fd;
  m_nPosition = 0;
  m_nLength = static_cast<std::uint64_t>(st.st_size);
  // tv_sec is the whole second, also before 1970: tv_nsec is never negative.
  m_nLastWrite = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  return true;
}

void CFile::ThrowOsError(int osError) const {
  throw CFileException(CauseFromErrno(osError), osError);
}

std::uint64_t CFile::Seek(std::int64_t lOff, SeekPosition nFrom) {
  if (m_hFile < 0) ThrowOsError(EBADF);
  std::int64_t base = 0;
  if (nFrom == current) {
    base = static_cast<std::int64_t>(m_nPosition);
  } else if (nFrom == end) {
    base = static_cast<std::int64_t>(GetLength());
  }
  if ((lOff < 0 && base + lOff < 0) ||
      (lOff > 0 && base > std::numeric_limits<off_t>::max() - lOff)) {
    ThrowOsError(EINVAL);
  }
  m_nPosition = static_cast<std::uint64_t>(base + lOff);
  return m_nPosition;
}

unsigned CFile::Read(void* lpBuf, unsigned nCount) {
  if (m_hFile < 0) ThrowOsError(EBADF);
  if (nCount == 0) return 0;
  // One read: a regular file delivers less than asked only at its end.
  ssize_t n;
  do {
    n = CurrentFileOps().pread(m_hFile, lpBuf, nCount, static_cast<off_t>(m_nPosition));
  } while (n < 0 && errno == EINTR);
  if (n < 0) ThrowOsError(errno);
  m_nPosition += static_cast<std::uint64_t>(n);
  return static_cast<unsigned>(n);
}

std::uint64_t CFile::GetLength() const {
  if (m_hFile < 0) ThrowOsError(EBADF);
  return m_nLength;
}

bool CFile::GetStatus(CFileStatus& rStatus) const noexcept {
  if (m_hFile < 0) return false;
  rStatus.m_mtime = CTime::FromFileTime(Instant{m_nLastWrite});
  return true;
}

void CFile::Close() {
  if (m_hFile < 0) return;
  int fd = m_hFile;
  m_hFile = -1;  // released whatever close reports: the descriptor is gone
  if (CurrentFileOps().close(fd) != 0 && errno != EINTR) ThrowOsError(errno);
}

}  // namespace vellumar::platform
