#include "library/data_paths.h"

#include <cstring>

#include "platform/ascii.h"

namespace vellumar {

char g_szAppDirectory[kPathBufferSize] = {};
char g_szInfoFilePath[kPathBufferSize] = {};
char g_szStampFilePath[kPathBufferSize] = {};

namespace {

// The longest directory that fits every path with its suffix and NUL: 242.
constexpr std::size_t kLongestSuffix =
    (sizeof kInfoFileSuffix > sizeof kStampFileSuffix ? sizeof kInfoFileSuffix
                                                      : sizeof kStampFileSuffix) -
    1;
constexpr std::size_t kMaxDirectoryLength = kPathBufferSize - 1 - kLongestSuffix;
static_assert(kMaxDirectoryLength == 242);

void Compose(char (&path)[kPathBufferSize], const char* dir, std::size_t length, const char* suffix,
             std::size_t suffixLength) noexcept {
  std::memcpy(path, dir, length);
  std::memcpy(path + length, suffix, suffixLength + 1);
}

}  // namespace

void ComposeDataPaths() noexcept {
  const std::size_t length = strnlen(g_szAppDirectory, kPathBufferSize - 1);
  if (platform::AsciiEqualsIgnoreCase(g_szAppDirectory, kNoDirectory) ||
      length > kMaxDirectoryLength) {
    g_szInfoFilePath[0] = '\0';
    g_szStampFilePath[0] = '\0';
    return;
  }
  Compose(g_szInfoFilePath, g_szAppDirectory, length, kInfoFileSuffix, sizeof kInfoFileSuffix - 1);
  Compose(g_szStampFilePath, g_szAppDirectory, length, kStampFileSuffix,
          sizeof kStampFileSuffix - 1);
}

}  // namespace vellumar
