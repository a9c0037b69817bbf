// Runs a function in a forked child process and brings back the text it
// returns: for state that a process sets only once, such as registration.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace vellumar::testing {

// The child's text, or "child failed" when it did not exit cleanly.
inline std::string InChildProcess(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  pid_t pid = ::fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    ::close(fds[0]);
    std::string text = body();
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
      ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) ::_exit(2);
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return (WIFEXITED(status) && WEXITSTATUS(status) == 0) ? text : "child failed";
}

}  // namespace vellumar::testing
