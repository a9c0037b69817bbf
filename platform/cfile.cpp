// The file object's own bookkeeping: the read position, the length and time
// learnt at the open, and the exceptions. The operating system is reached
// through platform/native_file.h only.
#include "platform/cfile.h"

#include <limits>
#include <utility>

#include "platform/native_file.h"
#include "platform/os_error.h"

namespace vellumar::platform {
namespace {

[[noreturn]] void Raise(OsError error) {
  throw CFileException(native_file::CauseOf(error), error.code);
}

[[noreturn]] void Raise(FileFailure failure) { Raise(native_file::ErrorOf(failure)); }

}  // namespace

CFile::CFile(const char* lpszFileName, unsigned nOpenFlags) {
  CFileException error;
  if (!Open(lpszFileName, nOpenFlags, &error)) throw error;
}

CFile::~CFile() {
  if (IsOpen()) native_file::Close(m_hFile);
}

bool CFile::Open(const char* lpszFileName, unsigned nOpenFlags, CFileException* pError) noexcept {
  (void)nOpenFlags;  // only modeRead (0) exists: read access, no sharing
  // An object holds at most one file; a failure to let go of the previous
  // one cannot be raised from here.
  if (IsOpen()) native_file::Close(std::exchange(m_hFile, FileHandle::invalid));
  native_file::Opened opened;
  if (const OsError error = native_file::Open(lpszFileName, opened)) {
    if (pError != nullptr) {
      pError->m_cause = native_file::CauseOf(error);
      pError->m_lOsError = error.code;
      pError->SetFileName(lpszFileName);
    }
    return false;
  }
  m_hFile = opened.handle;
  m_nPosition = 0;
  m_nLength = opened.length;
  m_lastWrite = opened.lastWrite;
  return true;
}

std::uint64_t CFile::Seek(std::int64_t lOff, SeekPosition nFrom) {
  if (!IsOpen()) Raise(FileFailure::invalidHandle);
  std::int64_t base = 0;
  if (nFrom == current) {
    base = static_cast<std::int64_t>(m_nPosition);
  } else if (nFrom == end) {
    base = static_cast<std::int64_t>(GetLength());
  }
  if ((lOff < 0 && base + lOff < 0) ||
      (lOff > 0 && base > std::numeric_limits<std::int64_t>::max() - lOff)) {
    Raise(FileFailure::badSeek);
  }
  m_nPosition = static_cast<std::uint64_t>(base + lOff);
  return m_nPosition;
}

unsigned CFile::Read(void* lpBuf, unsigned nCount) {
  if (!IsOpen()) Raise(FileFailure::invalidHandle);
  if (nCount == 0) return 0;
  // One read: a regular file delivers less than asked only at its end.
  unsigned delivered = 0;
  if (const OsError error = native_file::ReadAt(m_hFile, lpBuf, nCount, m_nPosition, delivered)) {
    Raise(error);
  }
  m_nPosition += delivered;
  return delivered;
}

std::uint64_t CFile::GetLength() const {
  if (!IsOpen()) Raise(FileFailure::invalidHandle);
  return m_nLength;
}

bool CFile::GetStatus(CFileStatus& rStatus) const noexcept {
  if (!IsOpen()) return false;
  rStatus.m_mtime = CTime::FromFileTime(m_lastWrite);
  return true;
}

void CFile::Close() {
  if (!IsOpen()) return;
  // Released whatever the close reports: the handle is gone.
  if (const OsError error = native_file::Close(std::exchange(m_hFile, FileHandle::invalid))) {
    Raise(error);
  }
}

}  // namespace vellumar::platform
