// Starting the logger program when no logger is known. The program is
// started detached: the host keeps no handle of it and never reaps it.
#include "logger/logger_client.h"
#include "platform/detached_process.h"
#include "platform/message_window.h"

namespace vellumar::logger {

namespace {

constexpr std::uint32_t kReadyWaitMs = 10000;

// The new logger is ready once a window stands in the block; a window that
// is gone is a dead logger's, left behind for the new one to replace.
bool LoggerWindowPublished() {
  const LoggerWindow window = LoggerFindWindow();
  return window != 0 && platform::WindowExists(window);
}

}  // namespace

void LoggerLaunch(const char* lpszModule) noexcept {
  const char* name = *lpszModule != '\0' ? lpszModule : "UNKNOWN/";
  if (g_bLoggerInit.load(std::memory_order_acquire) == 0) LoggerInit(name);
  // Only the cached window counts: a logger that has closed since the last
  // refresh still keeps a new one from being started.
  if (g_hLoggerWnd.load(std::memory_order_relaxed) != 0) return;

  platform::DetachedProcess logger = platform::DetachedProcess::Start(kLoggerCommandLine);
  logger.WaitUntilReady(kReadyWaitMs, LoggerWindowPublished);
  logger.Close();

  LoggerInit(name);
}

}  // namespace vellumar::logger
