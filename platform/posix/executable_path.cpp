#include "platform/executable_path.h"

#include <filesystem>
#include <system_error>

namespace vellumar::platform {

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !self.has_parent_path()) return {};
  std::string dir = self.parent_path().string();
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace vellumar::platform
