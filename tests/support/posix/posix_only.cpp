#include "support/posix/posix_only.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "support/posix/child_state.h"
#include "support/temp_files.h"
#include "support/waits.h"

namespace vellumar::testing::posix {

pid_t ProcessId(const Child& child) { return ChildAccess::Pid(child); }

bool ProcessGone(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  if (!status) return true;
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("State:", 0) == 0) return line.find('Z') != std::string::npos;
  }
  return true;
}

std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry) {
  std::vector<pid_t> found;
  const pid_t self = ::getpid();
  std::error_code ec;
  for (const auto& dir : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = dir.path().filename().string();
    if (name.empty() || name[0] < '1' || name[0] > '9') continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid == self || ProcessGone(pid)) continue;
    std::ifstream env(dir.path() / "environ", std::ios::binary);
    std::string item;
    while (std::getline(env, item, '\0')) {
      if (item == entry) {
        found.push_back(pid);
        break;
      }
    }
  }
  return found;
}

void WriteText(const std::string& path, std::string_view text, int mode) {
  testing::WriteText(path, text);
  ::chmod(path.c_str(), static_cast<mode_t>(mode));
}

FlockHolder::FlockHolder(const std::string& path)
    // --no-fork: the lock, the shell and then cat are one process, which
    // ends when its input closes or it is killed.
    : m_holder({"flock", "--exclusive", "--no-fork", path, "sh", "-c",
                "echo held; exec cat >/dev/null"}) {
  m_held = m_holder.Started() && m_holder.ReadLine() == "held";
}

int FlockHolder::Release() {
  m_held = false;
  return m_holder.Wait();
}

PseudoTerminal::PseudoTerminal() {
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_master < 0) return;
  const char* device =
      ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 ? ::ptsname(m_master) : nullptr;
  if (device == nullptr) {
    HangUp();
    return;
  }
  m_device = device;
}

PseudoTerminal::~PseudoTerminal() { HangUp(); }

bool PseudoTerminal::BecomeControllingTerminal() {
  HangUp();  // this process's copy only
  // The first terminal that a session leader opens becomes its controlling
  // terminal; the descriptor stays open for as long as the process lives.
  return !m_device.empty() && ::open(m_device.c_str(), O_RDWR) >= 0;
}

const std::string& PseudoTerminal::ShowUntil(std::string_view text, int timeoutMs) {
  const std::int64_t deadline = NowMs() + timeoutMs;
  while (m_master >= 0 && m_shown.find(text) == std::string::npos && NowMs() < deadline) {
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[512];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0) break;
    m_shown.append(buffer, static_cast<std::size_t>(n));
  }
  return m_shown;
}

bool PseudoTerminal::Type(std::string_view keys) {
  return m_master >= 0 &&
         ::write(m_master, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
}

void PseudoTerminal::HangUp() {
  if (m_master >= 0) ::close(m_master);
  m_master = -1;
}

}  // namespace vellumar::testing::posix
