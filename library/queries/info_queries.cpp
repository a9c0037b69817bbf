// The four queries of the information file vers_res.inf: fixed-position,
// little-endian, unsigned fields. Each call opens the file, reads, closes it,
// and only then writes its answer; what it raises leaves the caller's
// storage as it was.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>

#include "library/data_paths.h"
#include "platform/cfile.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using platform::CFile;

constexpr std::int64_t kResolutionOffset = 0;
constexpr std::int64_t kVersionOffset = 4;
constexpr std::int64_t kOsCodeOffset = 10;
constexpr std::uint64_t kMinOsFileLength = 18;

// A row of a lookup table: a code read from the file and the text it stands for.
struct CodeName {
  std::uint32_t code;
  const char* text;
};

constexpr CodeName kVersionTable[] = {
    {0, "Pelorin Version Pre 4.1 (16-bit)"},
    {24, "Pelorin Version 4.1"},
    {25, "Pelorin Version 5.0"},
    {26, "Pelorin Version 5.1"},
    {27, "Pelorin Version 5.6"},
    {1999, "Pelorin Version Pre 4.1 (16-bit)"},
    {2004, "Pelorin Version 5.0b"},
    {2005, "Pelorin Version 5.1b"},
    {2006, "Pelorin Version 6.0"},
    {2008, "Pelorin Version 7.0"},
};
constexpr const char kUnknownVersion[] = "Unknown Pelorin Version";

constexpr CodeName kOsTable[] = {
    {1, "Windows 3.x"},
    {2, "Windows 3.x"},
    {3, "Windows NT"},
    {4, "Windows 9x"},
};
constexpr const char kUnknownOs[] = "Unknown";
constexpr const char kOsNotRecorded[] = "Unknown OS";

constexpr const char* LookUp(std::span<const CodeName> table, std::uint32_t code,
                             const char* fallback) {
  for (const CodeName& entry : table) {
    if (entry.code == code) return entry.text;
  }
  return fallback;
}

static_assert(LookUp(kVersionTable, 2007, kUnknownVersion) == kUnknownVersion);

// Little-endian value of the bytes delivered; bytes not delivered stay zero.
constexpr std::uint32_t LittleEndian(const unsigned char* bytes, unsigned count) {
  std::uint32_t value = 0;
  for (unsigned i = count; i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

// Reads the field at `offset`; raises ERR_INFO_READ when nothing is delivered.
std::uint32_t ReadInfoField(CFile& file, std::int64_t offset, unsigned size) {
  unsigned char bytes[4] = {};
  file.Seek(offset, CFile::begin);
  if (file.Read(bytes, size) == 0) throw ERR_INFO_READ;
  return LittleEndian(bytes, size);
}

struct Resolution {
  std::uint32_t width;
  std::uint32_t height;
};

// Opens through the raising form: open failures reach the caller as
// CFileException. A short file leaves the missing bytes zero.
Resolution ReadResolution() {
  unsigned char bytes[4] = {};
  CFile file(g_szInfoFilePath, CFile::modeRead);
  file.Seek(kResolutionOffset, CFile::begin);
  file.Read(bytes, sizeof bytes);  // width then height; the count is not examined
  file.Close();
  return {LittleEndian(bytes, 2), LittleEndian(bytes + 2, 2)};
}

}  // namespace
}  // namespace vellumar

using vellumar::CFile;

extern "C" void GetResolutionStr(char* ResolutionStr) {
  const vellumar::Resolution r = vellumar::ReadResolution();
  char text[16];  // "65535 x 65535" and the NUL at most
  char* p = std::to_chars(text, text + 5, r.width).ptr;
  std::memcpy(p, " x ", 3);
  p = std::to_chars(p + 3, p + 8, r.height).ptr;
  *p++ = '\0';
  std::memcpy(ResolutionStr, text, static_cast<std::size_t>(p - text));
}

extern "C" void GetResolutionInt(std::int32_t* ResWidth, std::int32_t* ResHeight) {
  const vellumar::Resolution r = vellumar::ReadResolution();
  *ResWidth = static_cast<std::int32_t>(r.width);
  *ResHeight = static_cast<std::int32_t>(r.height);
}

extern "C" void GetAppVersion(char* AppVersion) {
  CFile file;
  if (!file.Open(vellumar::g_szInfoFilePath, CFile::modeRead)) throw vellumar::ERR_INFO_OPEN;
  const std::uint32_t code = vellumar::ReadInfoField(file, vellumar::kVersionOffset, 2);
  file.Close();
  std::strcpy(AppVersion,
              vellumar::LookUp(vellumar::kVersionTable, code, vellumar::kUnknownVersion));
}

extern "C" void GetOSVer(char* OSVersion) {
  CFile file;
  if (!file.Open(vellumar::g_szInfoFilePath, CFile::modeRead)) throw vellumar::ERR_INFO_OPEN;
  if (file.GetLength() < vellumar::kMinOsFileLength) {
    std::strcpy(OSVersion, vellumar::kOsNotRecorded);
    return;  // nothing was read; the file object closes the file
  }
  const std::uint32_t code = vellumar::ReadInfoField(file, vellumar::kOsCodeOffset, 4);
  file.Close();
  std::strcpy(OSVersion, vellumar::LookUp(vellumar::kOsTable, code, vellumar::kUnknownOs));
}
