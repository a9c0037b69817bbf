// The file object through which the library reaches its data files.
//
// Opens are for reading only, never create, and grant no sharing: while one
// object holds a file, every other open of it (in this or another process)
// fails, and an open fails while anyone else holds it. Only a regular file
// can be opened, so no open or read can block. The handle is never
// inherited by a child process. Paths may use backslashes as separators.
#pragma once

#include <cstdint>

#include "platform/cfile_status.h"
#include "platform/file_handle.h"
#include "platform/instant.h"
#include "vellumar/file_exception.h"

namespace vellumar::platform {

class CFile {
 public:
  enum OpenFlags : unsigned { modeRead = 0 };
  enum SeekPosition : unsigned { begin = 0, current = 1, end = 2 };

  // A file object that holds no file.
  CFile() noexcept = default;
  // The raising form of the open: raises CFileException carrying the cause,
  // the OS error and the path as passed.
  CFile(const char* lpszFileName, unsigned nOpenFlags);
  // Closes a file that is still held; errors are ignored here.
  ~CFile();

  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // The reporting form of the open: true on success. On failure, fills
  // *pError when given and raises nothing.
  bool Open(const char* lpszFileName, unsigned nOpenFlags,
            CFileException* pError = nullptr) noexcept;

  // Moves the read position and returns it. A position past the end is
  // accepted; a negative one raises CFileException (badSeek).
  std::uint64_t Seek(std::int64_t lOff, SeekPosition nFrom);

  // Reads up to nCount bytes at the read position and returns how many were
  // delivered: fewer when the file ends inside the request, 0 at its end.
  // An OS read error raises CFileException.
  unsigned Read(void* lpBuf, unsigned nCount);

  // The file's length in bytes; the read position does not move. The file is
  // held without sharing from its open, so this is the length learnt there.
  std::uint64_t GetLength() const;

  // The status of the open file, its last-write time becoming a local time
  // value. The status is the one read at the open, which already proved the
  // file readable. False, with rStatus as it was, when the object
  // holds no file.
  bool GetStatus(CFileStatus& rStatus) const noexcept;

  // Closes the file; an OS failure raises CFileException. Afterwards the
  // object holds no file, whether or not the close succeeded.
  void Close();

  bool IsOpen() const noexcept { return m_hFile != FileHandle::invalid; }

 private:
  FileHandle m_hFile = FileHandle::invalid;
  std::uint64_t m_nPosition = 0;
  // From the status read at the open: the file is held without sharing from
  // then on, so a query needs no second look.
  std::uint64_t m_nLength = 0;
  Instant m_lastWrite;
};

}  // namespace vellumar::platform
