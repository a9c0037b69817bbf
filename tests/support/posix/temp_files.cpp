// The parts of the temporary files that need the system: a directory made
// under a unique name (in memory: on /dev/shm, a tmpfs), file times and the
// open descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/temp_files.h"

namespace vellumar::testing {

TempDir::TempDir(Where where) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  if (where == Where::inMemory && ::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  std::string pattern = (base / "vellumar-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

bool SetLastWriteTime(const std::string& path, std::int64_t unixSeconds, long nanoseconds) {
  const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unixSeconds), nanoseconds}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return false;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_mtim.tv_sec == times[1].tv_sec &&
         st.st_mtim.tv_nsec == nanoseconds;
}

int OpenHandleCount() {
  int count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count - 1;  // the directory's own descriptor
}

}  // namespace vellumar::testing
