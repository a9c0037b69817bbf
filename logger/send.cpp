// Record delivery. A sender claims the block through the map event, writes
// its record from byte 4, tells the logger's window and waits a bounded time
// for the logger to take the record, then lets go of the block. Every named
// object is opened for the one call and closed before it returns.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "logger/logger_client.h"
#include "logger/record_write.h"
#include "platform/debug_break.h"
#include "platform/fatal_prompt.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"

namespace vellumar::logger {

char g_szFatalText[256] = {};

void WriteRecord(char* area, std::size_t capacity, const char* lpszPrefix, const char* lpszFormat,
                 va_list argList) noexcept {
  // A missing text is taken as empty rather than let a record end the host.
  if (lpszPrefix == nullptr) lpszPrefix = "";
  if (lpszFormat == nullptr) lpszFormat = "";
  std::size_t prefixLength = strnlen(lpszPrefix, capacity - 1);
  std::memcpy(area, lpszPrefix, prefixLength);
  area[prefixLength] = '\0';
  std::vsnprintf(area + prefixLength, capacity - prefixLength, lpszFormat, argList);
}

namespace {

constexpr std::uint32_t kBlockWaitMs = 2000;  // for the map event: then the record is dropped
constexpr std::uint32_t kTakeWaitMs = 2000;   // for the logger to take the record: then go on
constexpr char kFatalCaption[] = "Internal Error";
constexpr char kFatalQuestion[] = "\n\nContinue?";
// The longest fatal record that fits g_szFatalText with the question and NUL.
constexpr std::size_t kFatalRecordLimit = sizeof g_szFatalText - (sizeof kFatalQuestion - 1) - 1;
static_assert(kFatalRecordLimit == 244);

// Keeps the record, cut to the limit, for the prompt.
void KeepFatalRecord(const char* record, std::size_t recordCapacity) noexcept {
  std::size_t length = strnlen(record, recordCapacity);
  if (length > kFatalRecordLimit) length = kFatalRecordLimit;
  std::memcpy(g_szFatalText, record, length);
  g_szFatalText[length] = '\0';
}

// Completes the prompt text; the kept record leaves room for the question.
void AppendFatalQuestion() noexcept {
  std::memcpy(g_szFatalText + strnlen(g_szFatalText, kFatalRecordLimit), kFatalQuestion,
              sizeof kFatalQuestion);
}

}  // namespace

std::int32_t LoggerSend(std::int32_t bFatal, const char* lpszPrefix, const char* lpszFormat,
                        va_list argList) noexcept {
  if (g_bLoggerInit.load(std::memory_order_acquire) == 0) LoggerInit("UNKNOWN");
  const LoggerWindow window = LoggerFindWindow();
  g_hLoggerWnd.store(window, std::memory_order_relaxed);
  if (window == 0) return 1;
  if (bFatal == 0 && !platform::WindowExists(window)) return 0;

  platform::NamedEvent mapEvent = platform::NamedEvent::Open(kMapEventName);
  if (!mapEvent) return 0;
  if (mapEvent.Wait(kBlockWaitMs) != platform::WaitResult::signalled) return 0;
  mapEvent.Reset();
  // The block is ours from here until the map event is set again.

  platform::SharedMapping mapping =
      platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::write);
  if (!mapping) {
    mapEvent.Set();
    return 0;
  }
  platform::SharedView view = mapping.MapView();
  // A block with no room for a record's NUL is treated as a view that failed.
  if (!view || view.size() <= kRecordOffset) {
    view.Unmap();
    mapping.Close();
    mapEvent.Set();
    return 0;
  }
  platform::NamedEvent debugEvent = platform::NamedEvent::Open(kDebugEventName);
  if (!debugEvent) {
    view.Unmap();
    mapping.Close();
    mapEvent.Set();
    return 0;
  }

  char* record = static_cast<char*>(view.data()) + kRecordOffset;
  const std::size_t recordCapacity = view.size() - kRecordOffset;
  WriteRecord(record, recordCapacity, lpszPrefix, lpszFormat, argList);
  if (bFatal != 0) KeepFatalRecord(record, recordCapacity);

  if (platform::WindowExists(window)) {
    platform::NotifyWindow(window, platform::WindowMessage{g_uDebugMsg, 0, 0});
    debugEvent.Wait(kTakeWaitMs);  // a logger that is late to take it changes nothing
  }

  platform::PromptAnswer answer = platform::PromptAnswer::yes;
  if (bFatal != 0) {
    AppendFatalQuestion();
    answer = platform::ShowFatalPrompt(kFatalCaption, g_szFatalText);
  }

  view.Unmap();
  mapping.Close();
  mapEvent.Set();
  mapEvent.Close();
  debugEvent.Close();

  if (answer == platform::PromptAnswer::no) platform::BreakIntoDebugger();
  return 1;
}

std::int32_t LoggerSendf(std::int32_t bFatal, const char* lpszPrefix, const char* lpszFormat,
                         ...) noexcept {
  va_list argList;
  va_start(argList, lpszFormat);
  const std::int32_t delivered = LoggerSend(bFatal, lpszPrefix, lpszFormat, argList);
  va_end(argList);
  return delivered;
}

}  // namespace vellumar::logger
