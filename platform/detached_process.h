// Starting a program detached from the caller: it runs in a session of its
// own, with no controlling terminal, its standard streams on /dev/null, and
// none of the caller's descriptors. The caller never becomes its parent, so
// it is never left with a zombie to reap, whenever the program ends.
#pragma once

#include <cstdint>

namespace vellumar::platform {

class DetachedProcess {
 public:
  DetachedProcess() noexcept = default;
  ~DetachedProcess();
  DetachedProcess(DetachedProcess&& other) noexcept;
  DetachedProcess& operator=(DetachedProcess&& other) noexcept;

  // Starts the program that the first blank-separated word of `commandLine`
  // names, with the other words as its arguments. A name without '/' is
  // looked up on PATH, and a trailing ".exe" (any letter case) is dropped
  // from it. The caller's environment and current directory are kept.
  // Empty object when the program cannot be found or started.
  static DetachedProcess Start(const char* commandLine) noexcept;

  explicit operator bool() const noexcept { return m_pid > 0; }
  int pid() const noexcept { return m_pid; }

  // Waits until `isReady()` says the program is ready for work, or the
  // program has ended, for at most `timeoutMs` milliseconds. Returns at once
  // when nothing was started.
  void WaitUntilReady(std::uint32_t timeoutMs, bool (*isReady)()) const noexcept;

  // Lets go of the process; the program runs on.
  void Close() noexcept;

 private:
  int m_pid = 0;
  int m_pidfd = -1;  // readable once the program has ended
};

}  // namespace vellumar::platform
