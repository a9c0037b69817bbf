// Descriptors as the native layer handles them: a UniqueHandle owns one,
// and every call that a signal can interrupt is retried through one helper.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/unique_handle.h"

namespace vellumar::platform::posix {

// Owns `fd`, or nothing when it is negative (a failed call's result).
inline UniqueHandle AdoptFd(int fd) noexcept { return fd >= 0 ? UniqueHandle(fd) : UniqueHandle(); }

// The descriptor a handle owns, or -1.
inline int Fd(const UniqueHandle& handle) noexcept {
  return handle ? static_cast<int>(handle.value()) : -1;
}

// Calls `call` until it returns anything but an EINTR failure (-1 with
// errno EINTR), and returns that. Async-signal-safe when `call` is.
template <typename Call>
auto RetryOnInterrupt(Call call) noexcept(noexcept(call())) -> decltype(call()) {
  for (;;) {
    auto result = call();
    if (!(result < 0 && errno == EINTR)) return result;
  }
}

// Writes all `length` bytes; false when the descriptor takes no more (the
// error is in errno). Async-signal-safe.
inline bool WriteAll(int fd, const void* data, std::size_t length) noexcept {
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t n = RetryOnInterrupt([&] { return ::write(fd, p, length); });
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

// Reads exactly `length` bytes; false at the end of the input or on an
// error before that.
inline bool ReadFull(int fd, void* data, std::size_t length) noexcept {
  auto* p = static_cast<char*>(data);
  while (length > 0) {
    const ssize_t n = RetryOnInterrupt([&] { return ::read(fd, p, length); });
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace vellumar::platform::posix
