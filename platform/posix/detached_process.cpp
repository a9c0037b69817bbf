// The program is started by a double fork: the caller's child forks the
// program and ends at once, so the caller reaps that child straight away and
// the program is adopted by init, never the caller's zombie. The program
// runs in a session of its own with no controlling terminal, its standard
// streams on /dev/null and none of the caller's descriptors. Programs carry
// no ".exe" here, so "kzlogger.exe" runs "kzlogger". A close-on-exec pipe
// carries the program's process id back, and its exec error should the exec
// fail. The caller keeps a process descriptor to learn when the program
// ends.
#include "platform/detached_process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/ascii.h"
#include "platform/posix/deadline.h"
#include "platform/posix/descriptor.h"

extern char** environ;

namespace vellumar::platform {
namespace {

constexpr std::size_t kMaxCommandLine = 1024;
constexpr std::size_t kMaxArguments = 32;
constexpr char kDefaultPath[] = "/usr/local/bin:/usr/bin:/bin";

// What the pipe carries: the program's process id from the child, and the
// exec error from the program should its exec fail, in either order.
struct Report {
  enum Kind : int { kProgramId = 1, kExecError = 2 } kind;
  int value;
};

struct CommandLine {
  char text[kMaxCommandLine];
  char* argv[kMaxArguments + 1];
};

// Splits the command line into words in place; false when it is empty or
// too long.
bool SplitCommandLine(const char* commandLine, CommandLine& out) noexcept {
  std::size_t length = std::strlen(commandLine);
  if (length >= sizeof out.text) return false;
  std::memcpy(out.text, commandLine, length + 1);
  std::size_t argc = 0;
  char* p = out.text;
  while (*p != '\0' && argc < kMaxArguments) {
    while (*p == ' ' || *p == '\t') *p++ = '\0';
    if (*p == '\0') break;
    out.argv[argc++] = p;
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  out.argv[argc] = nullptr;
  if (argc == 0) return false;
  // The name as the program is known here: "prog.exe" runs "prog".
  char* name = out.argv[0];
  std::size_t n = std::strlen(name);
  if (n > 4 && AsciiEqualsIgnoreCase(name + n - 4, ".exe")) name[n - 4] = '\0';
  return true;
}

bool IsExecutableFile(const char* path) noexcept {
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && ::access(path, X_OK) == 0;
}

// The program's path: the name itself when it holds a '/', otherwise the
// first executable of that name in a PATH directory.
bool FindProgram(const char* name, char* out, std::size_t capacity) noexcept {
  std::size_t nameLength = std::strlen(name);
  if (std::strchr(name, '/') != nullptr) {
    if (nameLength >= capacity || !IsExecutableFile(name)) return false;
    std::memcpy(out, name, nameLength + 1);
    return true;
  }
  const char* path = std::getenv("PATH");
  if (path == nullptr) path = kDefaultPath;
  for (const char* dir = path;; ++dir) {
    const char* end = std::strchr(dir, ':');
    std::size_t dirLength = end != nullptr ? static_cast<std::size_t>(end - dir) : std::strlen(dir);
    // An empty entry would mean the current directory; it is not searched.
    if (dirLength > 0 && dirLength + 1 + nameLength < capacity) {
      std::memcpy(out, dir, dirLength);
      out[dirLength] = '/';
      std::memcpy(out + dirLength + 1, name, nameLength + 1);
      if (IsExecutableFile(out)) return true;
    }
    if (end == nullptr) return false;
    dir = end;
  }
}

// In the new program's process, before the exec: only async-signal-safe
// calls from here on.
[[noreturn]] void RunProgram(const char* path, char* const argv[], int reportFd,
                             int highestFd) noexcept {
  ::setsid();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &dfl, nullptr);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  int devnull = ::open("/dev/null", O_RDWR);
  if (devnull >= 0) {
    for (int fd = 0; fd < 3; ++fd) {
      if (devnull != fd) ::dup2(devnull, fd);
    }
    if (devnull > 2) ::close(devnull);
  }
  // The program inherits no descriptor of the caller's beyond its streams.
  if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd <= highestFd; ++fd) {
      if (fd != reportFd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  if (devnull >= 0) ::execve(path, argv, environ);
  Report report{Report::kExecError, devnull >= 0 ? errno : EBADF};
  posix::WriteAll(reportFd, &report, sizeof report);
  ::_exit(127);
}

int HighestDescriptor() noexcept {
  rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > 65536) {
    return 65535;
  }
  return static_cast<int>(limit.rlim_cur) - 1;
}

}  // namespace

DetachedProcess DetachedProcess::Start(const char* commandLine) noexcept {
  DetachedProcess process;
  CommandLine command;
  char path[PATH_MAX];
  if (!SplitCommandLine(commandLine, command) || !FindProgram(command.argv[0], path, sizeof path)) {
    return process;
  }
  const int highestFd = HighestDescriptor();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return process;

  pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    pid_t program = ::fork();
    if (program == 0) RunProgram(path, command.argv, report[1], highestFd);
    Report id{Report::kProgramId, program};
    posix::WriteAll(report[1], &id, sizeof id);
    ::_exit(0);
  }
  ::close(report[1]);
  pid_t program = -1;
  bool execFailed = false;
  if (child > 0) {
    // The pipe ends once the program has exec'd (or died) and the child
    // has ended.
    Report r;
    while (posix::ReadFull(report[0], &r, sizeof r)) {
      if (r.kind == Report::kProgramId) program = r.value;
      if (r.kind == Report::kExecError) execFailed = true;
    }
    posix::RetryOnInterrupt([&] { return ::waitpid(child, nullptr, 0); });
  }
  ::close(report[0]);
  if (program <= 0 || execFailed) return process;
  process.m_id = static_cast<ProcessId>(program);
  process.m_process = posix::AdoptFd(static_cast<int>(::syscall(SYS_pidfd_open, program, 0u)));
  return process;
}

void DetachedProcess::WaitUntilReady(std::uint32_t timeoutMs, bool (*isReady)()) const noexcept {
  if (m_id == 0) return;
  constexpr long kPollMs = 10;
  const timespec deadline = posix::DeadlineAfter(timeoutMs);
  for (;;) {
    if (isReady != nullptr && isReady()) return;
    long left = posix::MillisecondsUntil(deadline);
    if (left == 0) return;
    int step = static_cast<int>(left < kPollMs ? left : kPollMs);
    if (m_process) {
      pollfd p{posix::Fd(m_process), POLLIN, 0};
      if (::poll(&p, 1, step) > 0) return;  // the program has ended
    } else {
      ::usleep(static_cast<useconds_t>(step) * 1000u);
      if (::kill(static_cast<pid_t>(m_id), 0) != 0 && errno == ESRCH) return;
    }
  }
}

}  // namespace vellumar::platform
