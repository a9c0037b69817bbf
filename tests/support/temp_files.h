// Files for tests: a private temporary directory, files with given bytes,
// a file's last-write time, and a count of what this process holds open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumar::testing {

// A new directory of the test's own, removed with everything in it at the
// end of the scope.
class TempDir {
 public:
  enum class Where {
    temporary,  // under the system's temporary directory
    // on a file system held in memory where there is one (it keeps file
    // times that a disk's may not, such as those before 1901), else as
    // `temporary`
    inMemory,
  };
  explicit TempDir(Where where = Where::temporary);  // throws when it cannot be made
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Creates the file, or empties it, and writes exactly these bytes; throws
// when it cannot.
void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);
void WriteText(const std::string& path, std::string_view text);

// The whole file; empty when there is none.
std::string ReadFile(const std::string& path);
// The file's lines, without their line feeds; none when there is no file.
std::vector<std::string> ReadLines(const std::string& path);

// Sets the last-write time of an existing file. False when that fails, or
// when the file system does not keep that time exactly (some cannot hold
// times before 1901, or fractions of a second).
bool SetLastWriteTime(const std::string& path, std::int64_t unixSeconds, long nanoseconds = 0);

// How many handles (files, pipes, sockets...) this process holds open now:
// two counts around a piece of code show whether it left one open.
int OpenHandleCount();

}  // namespace vellumar::testing
