// Runs a real second process and collects what it did.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace vellumar::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

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

}  // namespace vellumar::testing
