// The state directory follows the XDG base directories: $XDG_STATE_HOME when
// it is an absolute path, else ~/.local/state, the home being $HOME or, when
// that is unset or empty, the user's entry in the password database. "For
// the user alone" is mode 0700 for a directory and 0600 for a file.
#include "platform/user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {

std::optional<std::string> UserStateDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* pw = ::getpwuid(::geteuid());
    if (pw == nullptr) return std::nullopt;
    home = pw->pw_dir;
  }
  return std::string(home) + "/.local/state";
}

OsError CreateParentDirectories(const std::string& path, std::string& failedDirectory) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
      const OsError error{errno};
      failedDirectory = std::move(dir);
      return error;
    }
  }
  return OsError{};
}

std::FILE* OpenPrivateAppend(const std::string& path, OsError* error) {
  UniqueHandle fd =
      posix::AdoptFd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
  std::FILE* out = fd ? ::fdopen(posix::Fd(fd), "a") : nullptr;
  if (out == nullptr) {
    if (error != nullptr) *error = OsError{errno};
    return nullptr;
  }
  fd.Release();  // the stream owns it now
  return out;
}

}  // namespace vellumar::platform
