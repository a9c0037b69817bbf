// Runs a real second process and collects what it did.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/child.h"

extern char** environ;

namespace vellumar::testing {

// Runs argv[0] (looked up on PATH) with extra "NAME=value" entries in its
// environment, and waits for it.
inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                const std::vector<std::string>& extraEnv = {}) {
  int outPipe[2], errPipe[2];
  ProcessResult result;
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return result;
  }

  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    bool overridden = false;
    for (const std::string& x : extraEnv) {
      if (entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) overridden = true;
    }
    if (!overridden) envStrings.push_back(entry);
  }
  for (const std::string& x : extraEnv) envStrings.push_back(x);
  std::vector<char*> envp, args;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argvCopy = argv;
  for (std::string& s : argvCopy) args.push_back(s.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (rc == 0) {
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, -1) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buf[4096];
        ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  return result;
}

// Holds an exclusive flock on a file from a separate process (flock(1))
// for as long as the object lives.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    // --no-fork: the lock and the sleeping shell are one process, killed at once.
    std::string script = "echo held; exec sleep 30";
    const char* argv[] = {"flock", "--exclusive", "--no-fork",    path.c_str(),
                          "sh",    "-c",          script.c_str(), nullptr};
    if (::posix_spawnp(&pid_, "flock", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    char buf[8];
    held_ = pid_ > 0 && ::read(ready[0], buf, sizeof buf) > 0;  // the lock is taken
    ::close(ready[0]);
  }
  ~FileHolder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

class ChildProcess {
 public:
  // Starts argv[0] (looked up on PATH) with this process's environment plus
  // `extraEnv` ("NAME=value" entries, which win over inherited ones).
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::vector<std::string>& extraEnv = {}) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      CloseBoth(in);
      return;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
      CloseBoth(in);
      CloseBoth(out);
      return;
    }
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e != nullptr; ++e) {
      const char* eq = std::strchr(*e, '=');
      const std::string name(*e, eq != nullptr ? static_cast<std::size_t>(eq - *e) : 0);
      bool overridden = false;
      for (const std::string& x : extraEnv)
        overridden |= x.compare(0, name.size() + 1, name + "=") == 0;
      if (!overridden) env.emplace_back(*e);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int rc = ::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    if (rc != 0) m_pid = -1;
  }

  ~ChildProcess() {
    CloseInput();
    CloseFd(m_out);
    CloseFd(m_err);
    Wait();
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }

  // One line of the child's standard output, without its newline; empty at
  // the end of the output.
  std::string ReadLine() {
    std::string line;
    char c;
    while (m_out >= 0 && ::read(m_out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  void CloseInput() { CloseFd(m_in); }

  // Reads both output streams to their ends and waits for the child; its
  // exit status, or -1 when it did not exit normally.
  int Finish(std::string& out, std::string& err) {
    CloseInput();
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
      if (::poll(fds, 2, -1) < 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else {
          fds[i].fd = -1;
        }
      }
    }
    CloseFd(m_out);
    CloseFd(m_err);
    return Wait();
  }

 private:
  static void CloseBoth(int (&fds)[2]) {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  static void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int Wait() {
    if (m_pid <= 0) return m_status;
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_status;
  }

  pid_t m_pid = -1;
  int m_in = -1, m_out = -1, m_err = -1;
  int m_status = -1;
};

}  // namespace vellumar::testing
