#include <cstring>
#include <mutex>

#include "logger/logger_client.h"
#include "platform/registered_message.h"
#include "platform/shared_block.h"

namespace vellumar::logger {

std::atomic<std::int32_t> g_bLoggerInit{0};
char g_szClientTag[21] = {};
std::uint16_t g_uDebugMsg = 0;
std::uint16_t g_uAlarmMsg = 0;
std::atomic<LoggerWindow> g_hLoggerWnd{0};

namespace {

// Registration runs once even when several threads arrive at once, so they
// all see one tag and one pair of message numbers. The flag is published
// last, so a thread that finds it set also finds the tag and the numbers.
std::mutex g_registrationMutex;

void BuildClientTag(const char* lpszModule) noexcept {
  std::strncpy(g_szClientTag, lpszModule, sizeof g_szClientTag);
  g_szClientTag[20] = '\0';
  for (std::size_t n = std::strlen(g_szClientTag); n < 9; ++n) g_szClientTag[n] = ' ';
  g_szClientTag[8] = '/';
  g_szClientTag[9] = '\0';
}

void Register(const char* lpszModule) noexcept {
  std::lock_guard<std::mutex> lock(g_registrationMutex);
  if (g_bLoggerInit.load(std::memory_order_relaxed) != 0) return;
  BuildClientTag(lpszModule);
  g_uDebugMsg = static_cast<std::uint16_t>(platform::RegisterMessage(kDebugMessageName));
  g_uAlarmMsg = static_cast<std::uint16_t>(platform::RegisterMessage(kAlarmMessageName));
  g_bLoggerInit.store(1, std::memory_order_release);
}

}  // namespace

void LoggerInit(const char* lpszModule) noexcept {
  if (g_bLoggerInit.load(std::memory_order_acquire) == 0) Register(lpszModule);
  g_hLoggerWnd.store(LoggerFindWindow(), std::memory_order_relaxed);
}

LoggerWindow LoggerFindWindow() noexcept {
  platform::SharedMapping mapping =
      platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read);
  if (!mapping) return 0;
  platform::SharedView view = mapping.MapView();
  if (!view || view.size() < sizeof(LoggerWindow)) return 0;
  LoggerWindow window;
  std::memcpy(&window, view.data(), sizeof window);  // little-endian, as the logger stores it
  return window;
}

}  // namespace vellumar::logger
