// A named lock that lets only one process of the user (in one namespace of
// named objects) run as the holder of that name: a program that must not
// run twice takes it at start. The lock goes with the process, however the
// process ends, so a killed holder never keeps the next one out.
#pragma once

#include "platform/os_error.h"
#include "platform/unique_handle.h"

namespace vellumar::platform {

enum class LockResult { acquired, heldByAnother, failed };

class InstanceLock {
 public:
  InstanceLock() noexcept = default;
  ~InstanceLock() { Release(); }
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;

  // Takes the lock without waiting. An empty object when it cannot be had;
  // `result`, when given, says whether it was taken, is held by another
  // process, or failed, and then `error` says why.
  static InstanceLock Acquire(const char* name, LockResult* result = nullptr,
                              OsError* error = nullptr) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_handle); }

  // Removes the name and lets go of the lock.
  void Release() noexcept;

 private:
  UniqueHandle m_handle;
  char m_name[256] = {};  // the name as the system knows it, for its removal
};

}  // namespace vellumar::platform
