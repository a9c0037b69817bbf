// ASCII-only letter case, independent of every locale and code page.
#pragma once

namespace vellumar::platform {

// Maps 'A'..'Z' (0x41..0x5A) to 'a'..'z' and leaves every other byte as it is.
constexpr char AsciiToLower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Whole-string equality under AsciiToLower, up to and including both NULs.
constexpr bool AsciiEqualsIgnoreCase(const char* a, const char* b) noexcept {
  for (;; ++a, ++b) {
    if (AsciiToLower(*a) != AsciiToLower(*b)) return false;
    if (*a == '\0') return true;
  }
}

}  // namespace vellumar::platform
