// PasteFunc: the text of a script call to one of the query exports, and where
// its first placeholder lies, for a host that pastes the call and selects the
// placeholder. It reads only its constant table and the caller's buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "library/paste/paste_templates.h"
#include "platform/ascii.h"
#include "vellumar/vellumar.h"

extern "C" std::uint32_t PasteFunc(const char* lpszFuncName, char* lpszPasteText) {
  const std::size_t length = std::strlen(lpszFuncName);
  std::memcpy(lpszPasteText, lpszFuncName, length + 1);

  // Every entry is compared and the last match kept; the names differ
  // ignoring case, so there is never more than one.
  const vellumar::PasteTemplate* match = nullptr;
  for (const vellumar::PasteTemplate& entry : vellumar::PasteTemplates) {
    if (vellumar::platform::AsciiEqualsIgnoreCase(lpszFuncName, entry.pszName)) match = &entry;
  }
  if (match == nullptr) {
    std::memcpy(lpszPasteText + length, "(", 2);
    return 0;
  }
  std::strcpy(lpszPasteText + length, match->pszTemplate);

  const std::size_t stop = vellumar::PasteStopOffset(match->pszTemplate);
  const auto start16 = static_cast<std::uint16_t>(length + vellumar::kFirstPlaceholderOffset);
  const auto end16 = static_cast<std::uint16_t>(length + stop);
  return static_cast<std::uint32_t>(end16) << 16 | start16;
}
