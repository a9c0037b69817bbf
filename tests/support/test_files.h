// Small fixtures shared by the suites: a private temporary directory, files
// with given bytes, and a count of this process's open descriptors.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace vellumar::testing {

class TempDir {
 public:
  explicit TempDir(const char* base = "/tmp") {
    std::string tmpl = std::string(base) + "/vellumar-test-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot create " + path);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<unsigned char>(text.begin(), text.end()));
}

// The number of descriptors this process holds open right now.
inline int OpenDescriptorCount() {
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
