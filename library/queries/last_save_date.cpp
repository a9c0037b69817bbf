// GetLastSaveDate: when the configured application was last saved, as the
// local time of the save-stamp file's last write. The file's contents are
// never read. What the query raises leaves the caller's storage as it was.
#include <cstring>

#include "library/data_paths.h"
#include "platform/cfile.h"
#include "vellumar/vellumar.h"

namespace {

constexpr const char kSaveDateFormat[] = "%H:%M:%S  %B %d, %Y";

}  // namespace

extern "C" void GetLastSaveDate(char* Updated) {
  using vellumar::platform::CFile;
  using vellumar::platform::CFileStatus;
  using vellumar::platform::CTime;

  CFile file;
  if (!file.Open(vellumar::g_szStampFilePath, CFile::modeRead)) throw vellumar::ERR_STAMP_OPEN;
  CFileStatus status;
  if (!file.GetStatus(status)) throw vellumar::ERR_STAMP_STATUS;
  file.Close();  // before the text is made
  char text[CTime::kFormatBufferSize];
  status.m_mtime.Format(kSaveDateFormat, text);
  std::strcpy(Updated, text);
}
