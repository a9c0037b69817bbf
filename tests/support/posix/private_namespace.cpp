// The namespace's objects are the entries of /dev/shm that start with its
// name; the programs in it are the processes whose environment names it.
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "support/posix/posix_only.h"
#include "support/private_namespace.h"
#include "support/waits.h"

namespace vellumar::testing {

std::string PrivateNamespace::NewName() {
  static int counter = 0;
  return "vt" + std::to_string(::getpid()) + "n" + std::to_string(++counter);
}

PrivateNamespace::PrivateNamespace()
    : name_(NewName()), env_("VELLUMAR_NAMESPACE", name_.c_str()) {}

PrivateNamespace::~PrivateNamespace() {
  const std::vector<pid_t> running = posix::ProcessesWithEnvironment(EnvironmentEntry());
  for (pid_t pid : running) ::kill(pid, SIGTERM);
  for (pid_t pid : running) {
    if (!WaitUntil([pid] { return posix::ProcessGone(pid); }, 3000)) ::kill(pid, SIGKILL);
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
    if (entry.path().filename().string().rfind(name_ + ".", 0) == 0) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

}  // namespace vellumar::testing
