// Message windows: an endpoint that a program creates to be told things by
// other processes of the same user. A window is known by a 32-bit handle,
// never 0; a message is a registered message number with two 32-bit
// parameters. The window exists while its owner holds it open, and it ends
// with its owner's process.
#pragma once

#include <cstdint>

namespace vellumar::platform {

using WindowHandle = std::uint32_t;

struct WindowMessage {
  std::uint32_t message;
  std::uint32_t wParam;
  std::uint32_t lParam;
};

enum class ReceiveResult { message, timeout, failed };

// The owner's side: creating a window picks a handle that no other window
// of the user holds. Closing it (or the end of the process) ends the window.
class MessageWindow {
 public:
  MessageWindow() noexcept = default;
  ~MessageWindow();
  MessageWindow(MessageWindow&& other) noexcept;
  MessageWindow& operator=(MessageWindow&& other) noexcept;

  // Empty object on failure.
  static MessageWindow Create() noexcept;

  explicit operator bool() const noexcept { return m_fd >= 0; }
  WindowHandle handle() const noexcept { return m_handle; }
  // Readable when a message waits; for the owner's own event loop.
  int NativeHandle() const noexcept { return m_fd; }

  // Takes the next message, waiting for at most `timeoutMs` milliseconds
  // (0 only looks). Messages from other users are dropped unread.
  ReceiveResult Receive(WindowMessage& out, std::uint32_t timeoutMs) noexcept;

  void Close() noexcept;

 private:
  int m_fd = -1;
  WindowHandle m_handle = 0;
};

// Whether the window of that handle exists now (0 never does).
bool WindowExists(WindowHandle window) noexcept;

// Posts one message to the window and returns at once, without waiting for
// it to be taken; nothing happens when the window does not exist or cannot
// take more messages.
void NotifyWindow(WindowHandle window, const WindowMessage& message) noexcept;

}  // namespace vellumar::platform
