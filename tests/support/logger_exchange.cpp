#include "support/logger_exchange.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "logger/logger_client.h"

namespace vellumar::testing {
namespace {

constexpr char kFillByte = '\x5a';

}  // namespace

LoggerNamespace::LoggerNamespace() = default;

LoggerNamespace::~LoggerNamespace() {
  std::vector<pid_t> loggers = ProcessesWithEnvironment("VELLUMAR_NAMESPACE=" + name());
  for (pid_t pid : loggers) ::kill(pid, SIGTERM);
  for (pid_t pid : loggers) {
    if (!WaitUntil([pid] { return ProcessGone(pid); }, 3000)) ::kill(pid, SIGKILL);
  }
  // The namespace itself then removes every object left in it.
}

std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry) {
  std::vector<pid_t> found;
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return found;
  const pid_t self = ::getpid();
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    pid_t pid = static_cast<pid_t>(std::stol(e->d_name));
    if (pid == self || ProcessGone(pid)) continue;
    std::ifstream env(std::string("/proc/") + e->d_name + "/environ", std::ios::binary);
    std::string item;
    while (std::getline(env, item, '\0')) {
      if (item == entry) {
        found.push_back(pid);
        break;
      }
    }
  }
  ::closedir(dir);
  return found;
}

Spawned StartKzlogger(const std::vector<std::string>& args, const SpawnOptions& options) {
  std::vector<std::string> argv{VELLUMAR_KZLOGGER_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  Spawned logger(argv, options);
  // A window in the block that exists: a dead logger's may still be there.
  auto ready = [] {
    logger::LoggerWindow window = logger::LoggerFindWindow();
    return window != 0 && platform::WindowExists(window);
  };
  if (!WaitUntil(ready, 10000)) {
    throw std::runtime_error("kzlogger did not put its window into the block");
  }
  return logger;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
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
