// The logger program's side of the exchange, the same for the logger
// program of every build: it makes the shared block, the two events and the
// window, publishes the window in the block, takes each record a module
// delivers, and removes it all again when it stops. What it does with a
// record (a line on a stream, a line in a window) is the program's own.
#pragma once

#include <cstddef>
#include <string_view>

#include "logger/logger_client.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/os_error.h"
#include "platform/shared_block.h"

namespace vellumar::logger {

// The instance lock (platform/instance_lock.h) that lets one logger run
// per user and namespace.
inline constexpr const char kInstanceLockName[] = "KZLoggerInstance";

// The smallest block: the window's handle and room for a record's NUL, and
// some.
inline constexpr std::size_t kMinBlockSize = 8;

// The step at which a logger could not start, and the system's reason.
struct ServerStartError {
  enum class Step { block, blockView, events, window } step = Step::block;
  platform::OsError error;
};

class LoggerServer {
 public:
  LoggerServer() noexcept = default;
  ~LoggerServer() { Stop(); }
  LoggerServer(LoggerServer&&) noexcept = default;
  LoggerServer& operator=(LoggerServer&&) = delete;

  // Makes the block of `blockSize` bytes (kMinBlockSize when less is asked
  // for), both events and the
  // window, in the order that lets no module see a window before the block
  // and both events are in place, and publishes the window in the block.
  // Whatever stands under the exchange's names (a killed logger's leftovers)
  // is replaced, so the caller must hold the instance lock. An empty object
  // on failure, with what failed in `error`; every object of the exchange
  // has been removed by then.
  static LoggerServer Start(std::size_t blockSize, ServerStartError* error = nullptr) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_window); }

  // The next message at the window; see MessageWindow::Receive.
  platform::ReceiveResult Receive(platform::WindowMessage& out, std::uint32_t timeoutMs,
                                  const platform::StopRequest* stop = nullptr) noexcept {
    return m_window.Receive(out, timeoutMs, stop);
  }

  // When `message` says that a record waits in the block, hands the record
  // to `take(std::string_view)` and then tells the sender that it has been
  // taken. The record runs from its offset in the block to its NUL, and
  // never past the block's end. False for any other message.
  template <typename Take>
  bool HandleMessage(const platform::WindowMessage& message, Take&& take) {
    if (m_debugMessage == 0 || message.message != m_debugMessage) return false;
    take(Record());
    m_debugEvent.Set();
    return true;
  }

  // Clears the window in the block first, so that modules see it go, then
  // removes the exchange's objects. Nothing happens on an empty object.
  void Stop() noexcept;

 private:
  std::string_view Record() const noexcept;
  void PublishWindow(LoggerWindow window) noexcept;

  unsigned m_debugMessage = 0;
  platform::SharedMapping m_mapping;
  platform::SharedView m_block;
  platform::NamedEvent m_mapEvent;
  platform::NamedEvent m_debugEvent;
  platform::MessageWindow m_window;
};

}  // namespace vellumar::logger
