// Starting a program detached from the caller: it runs on its own, with no
// terminal or console of the caller's, its standard streams leading nowhere,
// and none of the caller's open objects. The caller is never left with
// anything to collect from it, whenever the program ends.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/unique_handle.h"

namespace vellumar::platform {

// The system's number for a running program, as its own tools show it.
using ProcessId = std::uint32_t;

class DetachedProcess {
 public:
  DetachedProcess() noexcept = default;
  DetachedProcess(DetachedProcess&& other) noexcept
      : m_id(std::exchange(other.m_id, 0)), m_process(std::move(other.m_process)) {}
  DetachedProcess& operator=(DetachedProcess&& other) noexcept {
    if (this != &other) {
      m_id = std::exchange(other.m_id, 0);
      m_process = std::move(other.m_process);
    }
    return *this;
  }

  // Starts the program that the first blank-separated word of `commandLine`
  // names, with the other words as its arguments. A name with no directory
  // in it is looked up on the program search path (PATH), and a trailing
  // ".exe" (any letter case) is dropped where programs carry no such
  // suffix. The caller's environment and current directory are kept. An
  // empty object when the program cannot be found or started.
  static DetachedProcess Start(const char* commandLine) noexcept;

  explicit operator bool() const noexcept { return m_id != 0; }
  ProcessId id() const noexcept { return m_id; }

  // Waits until `isReady()` says the program is ready for work, or the
  // program has ended, for at most `timeoutMs` milliseconds. Returns at once
  // when nothing was started.
  void WaitUntilReady(std::uint32_t timeoutMs, bool (*isReady)()) const noexcept;

  // Lets go of the process; the program runs on.
  void Close() noexcept {
    m_process.Close();
    m_id = 0;
  }

 private:
  ProcessId m_id = 0;
  UniqueHandle m_process;  // tells when the program has ended, where the system offers that
};

}  // namespace vellumar::platform
