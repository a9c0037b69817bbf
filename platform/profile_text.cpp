#include "platform/profile_text.h"

#include <cstddef>

#include "platform/ascii.h"

namespace vellumar::platform {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr char kCtrlZ = '\x1A';

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == kCtrlZ;
}

constexpr bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// Takes the next line off the front of `text`, without its line end. A CR LF
// pair leaves an empty line behind, which every reader skips.
std::string_view NextLine(std::string_view& text) {
  std::size_t end = 0;
  while (end < text.size() && !IsLineEnd(text[end])) ++end;
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end < text.size() ? end + 1 : end);
  return line;
}

}  // namespace

bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view& value) noexcept {
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  bool seenSection = false;  // the first matching section has been entered
  bool inSection = false;
  while (!text.empty()) {
    std::string_view line = Trim(NextLine(text));
    if (line.empty() || line.front() == ';') continue;

    const std::size_t close = line.front() == '[' ? line.rfind(']') : std::string_view::npos;
    if (close != std::string_view::npos) {
      if (inSection) return false;  // only the first matching section counts
      inSection = !seenSection && NamesEqual(Trim(line.substr(1, close - 1)), section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (NamesEqual(Trim(line.substr(0, eq)), key)) {
      value = Unquote(Trim(line.substr(eq + 1)));
      return true;
    }
  }
  return false;
}

}  // namespace vellumar::platform
