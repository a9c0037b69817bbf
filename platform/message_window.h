// Message windows: an endpoint that a program creates to be told things by
// other processes of the same user. A window is known by a 32-bit handle,
// never 0; a message is a registered message number with two 32-bit
// parameters. The window exists while its owner holds it open, and it ends
// with its owner's process.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/os_error.h"
#include "platform/unique_handle.h"

namespace vellumar::platform {

class StopRequest;

using WindowHandle = std::uint32_t;

struct WindowMessage {
  std::uint32_t message;
  std::uint32_t wParam;
  std::uint32_t lParam;
};

enum class ReceiveResult { message, timeout, stopRequested, failed };

// A timeout that never runs out.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

// The owner's side: creating a window picks a handle that no other window
// of the user holds. Closing it (or the end of the process) ends the window.
class MessageWindow {
 public:
  MessageWindow() noexcept = default;
  MessageWindow(MessageWindow&& other) noexcept
      : m_endpoint(std::move(other.m_endpoint)), m_handle(std::exchange(other.m_handle, 0)) {}
  MessageWindow& operator=(MessageWindow&& other) noexcept {
    if (this != &other) {
      m_endpoint = std::move(other.m_endpoint);
      m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
  }

  // An empty object on failure, with the reason in `error` when one is
  // given.
  static MessageWindow Create(OsError* error = nullptr) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_endpoint); }
  WindowHandle handle() const noexcept { return m_handle; }

  // Takes the next message, waiting for at most `timeoutMs` milliseconds
  // (0 only looks; kWaitForever waits as long as it takes). Messages from
  // other users are dropped unread. Given a watched StopRequest, the wait
  // also ends when a stop is requested, and a request already made wins
  // over messages that wait.
  ReceiveResult Receive(WindowMessage& out, std::uint32_t timeoutMs,
                        const StopRequest* stop = nullptr) noexcept;

  void Close() noexcept {
    m_endpoint.Close();
    m_handle = 0;
  }

 private:
  UniqueHandle m_endpoint;
  WindowHandle m_handle = 0;
};

// Whether the window of that handle exists now (0 never does).
bool WindowExists(WindowHandle window) noexcept;

// Posts one message to the window and returns at once, without waiting for
// it to be taken; nothing happens when the window does not exist or cannot
// take more messages.
void NotifyWindow(WindowHandle window, const WindowMessage& message) noexcept;

}  // namespace vellumar::platform
