// Child on POSIX: programs started with posix_spawnp, pieces of the test
// run in a forked copy of the test program, pipes read with poll.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/posix/child_state.h"

extern char** environ;

namespace vellumar::testing {
namespace {

using Clock = std::chrono::steady_clock;

// While the child runs, output is looked at this often at least, so that
// its end is seen soon after it comes.
constexpr int kSliceMs = 2;

int MsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

Clock::time_point DeadlineIn(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Collects the child when it has ended (or, with `block`, once it ends).
bool Reap(Child::State& s, bool block) {
  if (s.pid <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(s.pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  s.exitCode = r == s.pid ? ExitCodeOf(status) : -1;
  s.pid = -1;
  return true;
}

// Reads what the piped output and error streams hold, waiting at most
// `waitMs` for something to come; true when anything was read or ended.
bool Pump(Child::State& s, int waitMs) {
  pollfd fds[2];
  std::string* sinks[2];
  int* owners[2];
  nfds_t n = 0;
  for (auto [fd, sink] : {std::pair{&s.output, &s.out}, std::pair{&s.error, &s.err}}) {
    if (*fd < 0) continue;
    fds[n] = {*fd, POLLIN, 0};
    sinks[n] = sink;
    owners[n] = fd;
    ++n;
  }
  if (n == 0) {
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return false;
  }
  if (::poll(fds, n, waitMs) <= 0) return false;
  bool moved = false;
  for (nfds_t i = 0; i < n; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      sinks[i]->append(buffer, static_cast<std::size_t>(got));
      moved = true;
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      CloseFd(*owners[i]);
      moved = true;
    }
  }
  return moved;
}

// After the end: whatever the child wrote before it ended is in the pipes
// already. (A program it started may hold them open still; that is not
// waited for.)
void Drain(Child::State& s) {
  while (Pump(s, 0)) {
  }
}

void Release(Child::State* s) {
  if (s == nullptr) return;
  CloseFd(s->input);
  if (s->pid > 0) {
    ::kill(s->pid, SIGKILL);
    Reap(*s, true);
  }
  CloseFd(s->output);
  CloseFd(s->error);
}

// The environment of a child: ours, with `extra` entries replacing
// variables of the same names.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env = extra;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    const std::size_t nameLength = eq != nullptr ? static_cast<std::size_t>(eq - *e) : 0;
    bool replaced = false;
    for (const std::string& x : extra) {
      replaced |= x.size() > nameLength && x[nameLength] == '=' &&
                  x.compare(0, nameLength, *e, nameLength) == 0;
    }
    if (!replaced) env.emplace_back(*e);
  }
  return env;
}

int AddRedirect(posix_spawn_file_actions_t* actions, int fd, const Redirect& to, int pipeEnd,
                int writeFlags) {
  const int flags = fd == 0 ? O_RDONLY : writeFlags;
  switch (to.kind) {
    case Redirect::Kind::pipe:
      return ::posix_spawn_file_actions_adddup2(actions, pipeEnd, fd);
    case Redirect::Kind::nullDevice:
      return ::posix_spawn_file_actions_addopen(actions, fd, "/dev/null", flags, 0);
    case Redirect::Kind::file:
      return ::posix_spawn_file_actions_addopen(actions, fd, to.path.c_str(), flags, 0600);
    case Redirect::Kind::inherit:
      break;
  }
  return 0;
}

class PipeReport final : public ChildReport {
 public:
  explicit PipeReport(int fd) : m_fd(fd) {}
  void Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(m_fd, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      p += n;
      size -= static_cast<std::size_t>(n);
    }
  }

 private:
  int m_fd;
};

}  // namespace

Child::Child() noexcept = default;

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options)
    : m_state(std::make_unique<State>()) {
  if (argv.empty()) return;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  bool piped = true;
  if (options.input.kind == Redirect::Kind::pipe) piped &= ::pipe2(in, O_CLOEXEC) == 0;
  if (options.output.kind == Redirect::Kind::pipe) piped &= ::pipe2(out, O_CLOEXEC) == 0;
  if (options.error.kind == Redirect::Kind::pipe) piped &= ::pipe2(err, O_CLOEXEC) == 0;

  int rc = piped ? 0 : EMFILE;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  constexpr int kWrite = O_WRONLY | O_CREAT | O_TRUNC;
  if (rc == 0) rc = AddRedirect(&actions, 0, options.input, in[0], kWrite);
  if (rc == 0) rc = AddRedirect(&actions, 1, options.output, out[1], kWrite);
  if (rc == 0) rc = AddRedirect(&actions, 2, options.error, err[1], kWrite);
  posix_spawnattr_t attr;
  ::posix_spawnattr_init(&attr);
  if (options.newSession) ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

  if (rc == 0) {
    std::vector<std::string> env = ChildEnvironment(options.environment);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
    if (rc == 0) {
      m_state->pid = pid;
      m_state->started = true;
    }
  }
  ::posix_spawnattr_destroy(&attr);
  ::posix_spawn_file_actions_destroy(&actions);

  CloseFd(in[0]);
  CloseFd(out[1]);
  CloseFd(err[1]);
  if (rc != 0) {
    CloseFd(in[1]);
    CloseFd(out[0]);
    CloseFd(err[0]);
    return;
  }
  m_state->input = in[1];
  m_state->output = out[0];
  m_state->error = err[0];
}

Child Child::RunFunction(std::function<int(ChildReport&)> body, const ChildOptions& options) {
  for (const Redirect* stream : {&options.input, &options.output, &options.error}) {
    if (stream->kind != Redirect::Kind::pipe) {
      throw std::logic_error("a piece of the test keeps the test program's standard streams");
    }
  }
  Child child;
  child.m_state = std::make_unique<State>();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return child;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(report[0]);
    if (options.newSession) ::setsid();
    for (const std::string& entry : options.environment) {
      const std::size_t eq = entry.find('=');
      if (eq != std::string::npos) {
        ::setenv(entry.substr(0, eq).c_str(), entry.c_str() + eq + 1, 1);
      }
    }
    PipeReport sink(report[1]);
    int code = kChildBodyThrew;
    try {
      code = body(sink);
    } catch (...) {
    }
    ::_exit(code);
  }
  ::close(report[1]);
  if (pid < 0) {
    ::close(report[0]);
    return child;
  }
  child.m_state->pid = pid;
  child.m_state->started = true;
  child.m_state->output = report[0];
  return child;
}

Child::~Child() { Release(m_state.get()); }

Child::Child(Child&& other) noexcept = default;

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Release(m_state.get());
    m_state = std::move(other.m_state);
  }
  return *this;
}

bool Child::Started() const noexcept { return m_state != nullptr && m_state->started; }

bool Child::Write(std::string_view bytes) {
  if (m_state == nullptr || m_state->input < 0) return false;
  // A child that no longer reads must not end the test program with SIGPIPE.
  sigset_t pipeSignal, previous, pending;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  bool written = true;
  while (!bytes.empty()) {
    const ssize_t n = ::write(m_state->input, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      written = false;
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (!written && !wasPending) {
    const timespec now{};
    while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return written;
}

void Child::CloseInput() {
  if (m_state != nullptr) CloseFd(m_state->input);
}

std::string Child::ReadLine(int timeoutMs) {
  if (m_state == nullptr) return {};
  State& s = *m_state;
  const Clock::time_point deadline = DeadlineIn(timeoutMs);
  for (;;) {
    const std::size_t end = s.out.find('\n');
    if (end != std::string::npos) {
      std::string line = s.out.substr(0, end);
      s.out.erase(0, end + 1);
      return line;
    }
    const int left = MsUntil(deadline);
    if (s.output < 0 || left == 0) return std::exchange(s.out, {});
    Pump(s, left);
  }
}

bool Child::Read(void* data, std::size_t size, int timeoutMs) {
  if (m_state == nullptr) return false;
  State& s = *m_state;
  const Clock::time_point deadline = DeadlineIn(timeoutMs);
  for (;;) {
    if (s.out.size() >= size) {
      std::memcpy(data, s.out.data(), size);
      s.out.erase(0, size);
      return true;
    }
    const int left = MsUntil(deadline);
    if (s.output < 0 || left == 0) return false;
    Pump(s, left);
  }
}

int Child::Wait(int timeoutMs) {
  if (m_state == nullptr) return -1;
  State& s = *m_state;
  CloseFd(s.input);
  const Clock::time_point deadline = DeadlineIn(timeoutMs);
  for (;;) {
    if (Reap(s, false)) {
      Drain(s);
      return s.exitCode;
    }
    const int left = MsUntil(deadline);
    if (left == 0) return -1;
    Pump(s, left < kSliceMs ? left : kSliceMs);
  }
}

bool Child::Running() { return m_state != nullptr && !Reap(*m_state, false); }

bool Child::Stop(StopRequest request) {
  if (!Running()) return false;
  const int signal = request == StopRequest::interrupt   ? SIGINT
                     : request == StopRequest::terminate ? SIGTERM
                                                         : SIGKILL;
  return ::kill(m_state->pid, signal) == 0;
}

const std::string& Child::Out() const noexcept {
  static const std::string kNone;
  return m_state != nullptr ? m_state->out : kNone;
}

const std::string& Child::Err() const noexcept {
  static const std::string kNone;
  return m_state != nullptr ? m_state->err : kNone;
}

ProcessResult RunProgram(const std::vector<std::string>& argv, const ChildOptions& options,
                         int timeoutMs) {
  Child child(argv, options);
  ProcessResult result;
  result.exitCode = child.Wait(timeoutMs);
  result.out = child.Out();
  result.err = child.Err();
  return result;
}

int UncollectedChildren() {
  // A zombie's status names its parent; ours are the ones to count.
  const std::string self = std::to_string(::getpid());
  int zombies = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] < '1' || name[0] > '9') continue;
    std::ifstream status(entry.path() / "status");
    std::string line;
    bool zombie = false, ours = false;
    while (std::getline(status, line)) {
      if (line.rfind("State:", 0) == 0) zombie = line.find('Z') != std::string::npos;
      if (line.rfind("PPid:", 0) == 0) {
        std::string ppid = line.substr(5);
        ppid.erase(0, ppid.find_first_not_of(" \t"));
        ours = ppid == self;
      }
    }
    if (zombie && ours) ++zombies;
  }
  return ec ? -1 : zombies;
}

}  // namespace vellumar::testing
