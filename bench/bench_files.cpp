#include "bench/bench_files.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "library/data_paths.h"

namespace vellumar::bench {
namespace {

std::string MakeAppDirectory() {
  namespace fs = std::filesystem;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path dir = fs::temp_directory_path() / ("vellumar-bench-" + std::to_string(stamp));
  if (!fs::create_directory(dir)) throw std::runtime_error("cannot create " + dir.string());
  const unsigned char info[18] = {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0, 0, 3, 0, 0, 0};
  std::ofstream(dir / "vers_res.inf", std::ios::binary)
      .write(reinterpret_cast<const char*>(info), sizeof info);
  std::ofstream(dir / "app.ver", std::ios::binary);
  std::snprintf(g_szAppDirectory, sizeof g_szAppDirectory, "%s", dir.string().c_str());
  ComposeDataPaths();
  return dir.string();
}

// Removes the directory at exit, after every benchmark has run.
struct ScratchDirectory {
  std::string path;
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

const std::string& AppDirectory() {
  static const ScratchDirectory dir{MakeAppDirectory()};
  return dir.path;
}

}  // namespace vellumar::bench
