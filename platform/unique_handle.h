// One object of the operating system that this process holds open (a shared
// block, an endpoint, a lock, a running program...), owned by exactly one
// UniqueHandle and closed when that owner goes. Shared code only keeps,
// moves and tests it; what the value means, and how the object is closed,
// is the backend's business.
#pragma once

#include <cstdint>
#include <utility>

namespace vellumar::platform {

class UniqueHandle {
 public:
  using Value = std::intptr_t;

  UniqueHandle() noexcept = default;
  // Takes ownership of `value`, as the backend made it.
  explicit UniqueHandle(Value value) noexcept : m_value(value) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_value = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  explicit operator bool() const noexcept { return m_value != kNone; }
  Value value() const noexcept { return m_value; }

  // Gives up ownership without closing; the object is the caller's.
  Value Release() noexcept { return std::exchange(m_value, kNone); }

  // Closes the object now; the handle is empty afterwards.
  void Close() noexcept;

 private:
  static constexpr Value kNone = -1;
  Value m_value = kNone;
};

}  // namespace vellumar::platform
