#include "support/logger_exchange.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "logger/logger_client.h"
#include "support/paths.h"
#include "support/waits.h"

namespace vellumar::testing {
namespace {

constexpr char kFillByte = '\x5a';
constexpr int kLoggerReadyMs = 10000;

}  // namespace

Child StartKzlogger(const std::vector<std::string>& args, const ChildOptions& options) {
  std::vector<std::string> argv{Paths().Kzlogger()};
  argv.insert(argv.end(), args.begin(), args.end());
  Child program(argv, options);
  if (!program.Started()) throw std::runtime_error("cannot start " + argv[0]);
  // A window in the block that exists: a dead logger's may still be there.
  auto windowReady = [] {
    const logger::LoggerWindow window = logger::LoggerFindWindow();
    return window != 0 && platform::WindowExists(window);
  };
  WaitUntil([&] { return windowReady() || !program.Running(); }, kLoggerReadyMs);
  if (!program.Running()) {
    const int exitCode = program.Wait(0);
    throw std::runtime_error("kzlogger ended (exit code " + std::to_string(exitCode) +
                             ") before its window stood in the block: " + program.Err());
  }
  if (!windowReady()) throw std::runtime_error("kzlogger did not put its window into the block");
  return program;
}

FakeLogger::FakeLogger(const FakeLoggerParts& parts) {
  m_mapping = platform::SharedMapping::Create(logger::kMappedFileName, parts.blockSize);
  m_block = m_mapping.MapView();
  if (!m_block) throw std::runtime_error("cannot create the block");
  if (parts.mapEvent) {
    m_mapEvent = platform::NamedEvent::Create(
        logger::kMapEventName, platform::EventReset::automatic, parts.mapEventSignalled);
  }
  if (parts.debugEvent) {
    m_debugEvent = platform::NamedEvent::Create(logger::kDebugEventName,
                                                platform::EventReset::automatic, false);
  }
  if (parts.window) {
    m_window = platform::MessageWindow::Create();
    m_handle = m_window.handle();
    if (!parts.windowAlive) m_window.Close();
  }
  if (m_block.size() >= sizeof m_handle) std::memcpy(m_block.data(), &m_handle, sizeof m_handle);
}

std::string FakeLogger::Record() const {
  if (m_block.size() <= logger::kRecordOffset) return {};
  const char* record = static_cast<const char*>(m_block.data()) + logger::kRecordOffset;
  return std::string(record, strnlen(record, m_block.size() - logger::kRecordOffset));
}

void FakeLogger::FillRecordArea() {
  if (m_block.size() <= logger::kRecordOffset) return;
  std::memset(static_cast<char*>(m_block.data()) + logger::kRecordOffset, kFillByte,
              m_block.size() - logger::kRecordOffset);
}

bool FakeLogger::RecordAreaUntouched() const {
  const char* p = static_cast<const char*>(m_block.data());
  for (std::size_t i = logger::kRecordOffset; i < m_block.size(); ++i) {
    if (p[i] != kFillByte) return false;
  }
  return true;
}

}  // namespace vellumar::testing
