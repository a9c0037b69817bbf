#include "support/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/child.h"
#include "support/posix/posix_only.h"

extern char** environ;

namespace vellumar::testing {
namespace {

// Waits for our child `pid` for at most `timeoutMs`; its status, or
// nothing when it is still running.
bool WaitChild(pid_t pid, int timeoutMs, int& status) {
  std::int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return false;
    if (NowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

void KillAndReap(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void WriteReport(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

ChildResult RunInChild(const std::function<void(int report)>& body, int timeoutMs) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    ::close(fds[0]);
    body(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildResult result;
  std::int64_t deadline = NowMs() + timeoutMs;
  char buffer[4096];
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    int left = static_cast<int>(deadline - NowMs());
    if (left <= 0 || ::poll(&p, 1, left) == 0) break;
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.report.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status;
  int left = static_cast<int>(deadline - NowMs());
  if (WaitChild(pid, left > 0 ? left : 0, status)) {
    result.exitCode = ExitCodeOf(status);
  } else {
    KillAndReap(pid);
  }
  return result;
}

ForkedChild::ForkedChild(const std::function<int()>& body) {
  m_pid = ::fork();
  if (m_pid < 0) throw std::runtime_error("fork");
  if (m_pid == 0) ::_exit(body());
}

ForkedChild::~ForkedChild() {
  if (m_pid > 0) KillAndReap(m_pid);
}

int ForkedChild::Wait(int timeoutMs) {
  if (m_pid <= 0) return -1;
  int status;
  if (!WaitChild(m_pid, timeoutMs, status)) return -1;
  m_pid = -1;
  return ExitCodeOf(status);
}

Spawned::Spawned(const std::vector<std::string>& argv, const SpawnOptions& options) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.devNullStdio) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  if (!options.stdoutPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, options.stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!options.stderrPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, options.stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  if (options.newSession) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int rc = ::posix_spawn(&m_pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("posix_spawn " + argv[0] + ": " + std::strerror(rc));
}

Spawned::~Spawned() {
  if (m_pid > 0) KillAndReap(m_pid);
}

Spawned::Spawned(Spawned&& other) noexcept : m_pid(std::exchange(other.m_pid, -1)) {}

bool Spawned::Signal(int sig) const { return m_pid > 0 && ::kill(m_pid, sig) == 0; }

int Spawned::Wait(int timeoutMs) {
  if (m_pid <= 0) return -1;
  int status;
  if (!WaitChild(m_pid, timeoutMs, status)) return -1;
  m_pid = -1;
  return ExitCodeOf(status);
}

bool ProcessGone(pid_t pid) { return posix::ProcessGone(pid); }

int ZombieChildren() { return UncollectedChildren(); }

void WriteFile(const std::string& path, const std::string& text, int mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::chmod(path.c_str(), static_cast<mode_t>(mode));
}

}  // namespace vellumar::testing
