// The call templates that PasteFunc knows: one for each query export, none
// for PasteFunc itself. Each template is what follows the function's name in
// a script call, its placeholders named like the export's parameters.
#pragma once

#include <cstddef>
#include <iterator>

#include "platform/ascii.h"

namespace vellumar {

struct PasteTemplate {
  const char* pszName;
  const char* pszTemplate;
};

inline constexpr PasteTemplate PasteTemplates[] = {
    {"GetResolutionStr", "( ResolutionStr );"}, {"GetResolutionInt", "( ResWidth, ResHeight );"},
    {"GetAppVersion", "( AppVersion );"},       {"GetOSVer", "( OSVersion );"},
    {"GetLastSaveDate", "( Updated );"},
};

// Every template opens with "( ", so its first placeholder starts here.
inline constexpr std::size_t kFirstPlaceholderOffset = 2;

// The offset of the comma or blank that ends the first placeholder, or 0 when
// the template has none.
constexpr std::size_t PasteStopOffset(const char* pszTemplate) noexcept {
  for (std::size_t i = kFirstPlaceholderOffset; pszTemplate[i] != '\0'; ++i) {
    if (pszTemplate[i] == ',' || pszTemplate[i] == ' ') return i;
  }
  return 0;
}

namespace paste_detail {

constexpr bool AllOpenWithParenthesisAndBlank() {
  for (const PasteTemplate& t : PasteTemplates) {
    if (t.pszTemplate[0] != '(' || t.pszTemplate[1] != ' ') return false;
  }
  return true;
}

constexpr bool AllHaveStop() {
  for (const PasteTemplate& t : PasteTemplates) {
    if (PasteStopOffset(t.pszTemplate) == 0) return false;
  }
  return true;
}

// At most one entry can match a name, whatever its letter case.
constexpr bool NamesDifferIgnoringCase() {
  constexpr std::size_t n = std::size(PasteTemplates);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (platform::AsciiEqualsIgnoreCase(PasteTemplates[i].pszName, PasteTemplates[j].pszName)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace paste_detail

static_assert(std::size(PasteTemplates) == 5);
static_assert(paste_detail::AllOpenWithParenthesisAndBlank(), "a template must open with \"( \"");
static_assert(paste_detail::AllHaveStop(), "a template must end its first placeholder");
static_assert(paste_detail::NamesDifferIgnoringCase(), "two names differ only in letter case");

}  // namespace vellumar
