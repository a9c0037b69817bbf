#include "logger/logger_server.h"

#include <atomic>
#include <cstring>

#include "platform/registered_message.h"

namespace vellumar::logger {
namespace {

void RemoveNamedObjects() noexcept {
  platform::SharedMapping::Remove(kMappedFileName);
  platform::NamedEvent::Remove(kMapEventName);
  platform::NamedEvent::Remove(kDebugEventName);
}

}  // namespace

LoggerServer LoggerServer::Start(std::size_t blockSize, ServerStartError* error) noexcept {
  using Step = ServerStartError::Step;
  LoggerServer server;
  platform::OsError why;
  Step failed = Step::block;
  server.m_debugMessage = platform::RegisterMessage(kDebugMessageName);
  platform::RegisterMessage(kAlarmMessageName);
  server.m_mapping = platform::SharedMapping::Create(
      kMappedFileName, blockSize < kMinBlockSize ? kMinBlockSize : blockSize, &why);
  if (server.m_mapping) {
    failed = Step::blockView;
    server.m_block = server.m_mapping.MapView(&why);
  }
  if (server.m_block) {
    failed = Step::events;
    server.m_mapEvent =
        platform::NamedEvent::Create(kMapEventName, platform::EventReset::automatic, true, &why);
  }
  if (server.m_mapEvent) {
    server.m_debugEvent =
        platform::NamedEvent::Create(kDebugEventName, platform::EventReset::automatic, false, &why);
  }
  if (server.m_debugEvent) {
    failed = Step::window;
    server.m_window = platform::MessageWindow::Create(&why);
  }
  if (!server.m_window) {
    // What was made before the failure (or left by a dead logger) goes;
    // holding the instance lock, all of it is this logger's to remove.
    RemoveNamedObjects();
    if (error != nullptr) *error = ServerStartError{failed, why};
    return LoggerServer();
  }
  server.PublishWindow(server.m_window.handle());
  return server;
}

void LoggerServer::Stop() noexcept {
  if (!m_window) return;
  PublishWindow(0);
  RemoveNamedObjects();
  m_window.Close();
  m_debugEvent.Close();
  m_mapEvent.Close();
  m_block.Unmap();
  m_mapping.Close();
}

static_assert(kMinBlockSize > kRecordOffset);

std::string_view LoggerServer::Record() const noexcept {
  const char* record = static_cast<const char*>(m_block.data()) + kRecordOffset;
  return std::string_view(record, strnlen(record, m_block.size() - kRecordOffset));
}

void LoggerServer::PublishWindow(LoggerWindow window) noexcept {
  std::atomic_ref<LoggerWindow>(*static_cast<LoggerWindow*>(m_block.data()))
      .store(window, std::memory_order_release);
}

}  // namespace vellumar::logger
