#include "platform/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ascii.h"

namespace vellumar::platform {
namespace {

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

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

// The whole profile; empty when it cannot be read.
std::string ReadWholeFile(const char* path) {
  std::string text;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return text;
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

const char* NonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? v : nullptr;
}

}  // namespace

bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view& value) {
  bool seenSection = false;  // the first matching section has been entered
  bool inSection = false;
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (inSection) return false;  // only the first matching section counts
      std::size_t close = line.find(']');
      std::string_view name = Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = !seenSection && NamesEqual(name, section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (NamesEqual(Trim(line.substr(0, eq)), key)) {
      value = Unquote(Trim(line.substr(eq + 1)));
      return true;
    }
  }
  return false;
}

std::string_view ProfilePath(char* buffer, std::size_t capacity) {
  auto compose = [&](const char* dir, const char* suffix) -> std::string_view {
    std::size_t a = std::strlen(dir), b = std::strlen(suffix);
    if (a + b + 1 > capacity) return {};
    std::memcpy(buffer, dir, a);
    std::memcpy(buffer + a, suffix, b + 1);
    return {buffer, a + b};
  };
  if (const char* wininiPath = NonEmptyEnv("WININI")) return compose(wininiPath, "");
  if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME")) return compose(xdg, "/win.ini");
  if (const char* home = NonEmptyEnv("HOME")) return compose(home, "/.config/win.ini");
  return {};
}

std::size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                              char* dest, std::size_t capacity) {
  if (capacity == 0) return 0;
  char pathBuffer[PATH_MAX];
  std::string_view path = ProfilePath(pathBuffer, sizeof pathBuffer);

  std::string text;
  std::string_view value = defaultValue != nullptr ? defaultValue : "";
  if (!path.empty()) {
    text = ReadWholeFile(pathBuffer);
    std::string_view found;
    if (FindProfileValue(text, section, key, found)) value = found;
  }
  std::size_t n = value.size() < capacity - 1 ? value.size() : capacity - 1;
  std::memcpy(dest, value.data(), n);
  dest[n] = '\0';
  return n;
}

}  // namespace vellumar::platform
