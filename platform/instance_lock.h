// A named lock that lets only one process of the user (in one namespace of
// named objects) run as the holder of that name: a program that must not
// run twice takes it at start. The lock goes with the process, however the
// process ends, so a killed holder never keeps the next one out.
#pragma once

namespace vellumar::platform {

class InstanceLock {
 public:
  InstanceLock() noexcept = default;
  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;

  // Takes the lock without waiting. Empty object when it cannot be had,
  // with errno EWOULDBLOCK when another process holds it.
  static InstanceLock Acquire(const char* name) noexcept;

  explicit operator bool() const noexcept { return m_fd >= 0; }

  // Removes the name and lets go of the lock.
  void Release() noexcept;

 private:
  int m_fd = -1;
  char m_name[256] = {};
};

}  // namespace vellumar::platform
