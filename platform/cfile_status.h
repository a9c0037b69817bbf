// What CFile::GetStatus reports about an open file. Only the last-write time
// is kept: it is all that the library reads.
#pragma once

#include "platform/ctime.h"

namespace vellumar::platform {

struct CFileStatus {
  CTime m_mtime;  // last write, as a local time value (CTime::FromFileTime)
};

}  // namespace vellumar::platform
