// The profile on POSIX: a file found by the environment, read at this edge
// only, then searched by the shared parser.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/posix/descriptor.h"
#include "platform/profile_text.h"

namespace vellumar::platform {
namespace {

const char* NonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? v : nullptr;
}

// The path of the user's profile into `buffer`; false when none can be named
// or it does not fit.
bool ProfilePath(char (&buffer)[PATH_MAX]) {
  auto compose = [&](const char* dir, const char* suffix) {
    const std::size_t a = std::strlen(dir), b = std::strlen(suffix);
    if (a + b + 1 > sizeof buffer) return false;
    std::memcpy(buffer, dir, a);
    std::memcpy(buffer + a, suffix, b + 1);
    return true;
  };
  if (const char* wininiPath = NonEmptyEnv("WININI")) return compose(wininiPath, "");
  if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME")) return compose(xdg, "/win.ini");
  if (const char* home = NonEmptyEnv("HOME")) return compose(home, "/.config/win.ini");
  return false;
}

// At most kProfileReadLimit bytes of the profile; empty when it is not a
// regular file or cannot be read. Opened without blocking, so a FIFO or a
// device in its place returns at once; the check on the open descriptor
// leaves no window in which the file can be swapped.
std::string ReadBoundedProfile(const char* path) {
  std::string text;
  const int fd = posix::RetryOnInterrupt(
      [&] { return ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); });
  if (fd < 0) return text;

  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const auto size = static_cast<std::size_t>(st.st_size);
    text.reserve(size < kProfileReadLimit ? size : kProfileReadLimit);
    char chunk[4096];
    while (text.size() < kProfileReadLimit) {
      const std::size_t want = kProfileReadLimit - text.size();
      const ssize_t n = posix::RetryOnInterrupt(
          [&] { return ::read(fd, chunk, want < sizeof chunk ? want : sizeof chunk); });
      if (n <= 0) break;
      text.append(chunk, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return text;
}

}  // namespace

std::size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                              char* dest, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::string_view value = defaultValue != nullptr ? defaultValue : "";
  std::string text;
  char path[PATH_MAX];
  if (ProfilePath(path)) {
    text = ReadBoundedProfile(path);
    std::string_view found;
    if (FindProfileValue(text, section, key, found)) value = found;
  }
  const std::size_t n = value.size() < capacity - 1 ? value.size() : capacity - 1;
  std::memcpy(dest, value.data(), n);
  dest[n] = '\0';
  return n;
}

}  // namespace vellumar::platform
