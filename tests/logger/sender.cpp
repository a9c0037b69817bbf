#include "logger/sender.h"

#include <cstring>

#include "logger/logger_client.h"
#include "platform/debug_break.h"
#include "platform/named_event.h"
#include "support/child.h"
#include "support/waits.h"

namespace vellumar::testing {
namespace {

// The recorders' state: each sender is a fresh child, so plain globals do.
SenderOptions g_options;
SendOutcome g_outcome;

void CopyText(char* out, std::size_t capacity, const char* text) {
  std::size_t n = strnlen(text, capacity - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

platform::PromptAnswer RecordPrompt(const char* caption, const char* text) {
  ++g_outcome.prompts;
  CopyText(g_outcome.caption, sizeof g_outcome.caption, caption);
  CopyText(g_outcome.promptText, sizeof g_outcome.promptText, text);
  if (g_options.promptShownEvent != nullptr) {
    platform::NamedEvent::Open(g_options.promptShownEvent).Set();
  }
  SleepMs(g_options.promptDelayMs);
  return g_options.answer;
}

void RecordBreak() {
  ++g_outcome.breaks;
  platform::NamedEvent gate = platform::NamedEvent::Open(logger::kMapEventName);
  if (gate && gate.Wait(0) == platform::WaitResult::signalled) {
    g_outcome.blockFreeAtBreak = true;
    gate.Set();
  }
}

}  // namespace

SendOutcome RunSender(const std::function<std::int32_t()>& call, const SenderOptions& options,
                      bool* ok) {
  ProcessResult child = RunInChild([&](ChildReport& report) {
    g_options = options;
    platform::test::SetFatalPromptHook(RecordPrompt);
    if (options.hookBreak) platform::test::SetDebugBreakHook(RecordBreak);
    std::int64_t start = NowMs();
    g_outcome.result = call();
    g_outcome.elapsedMs = NowMs() - start;
    CopyText(g_outcome.fatalText, sizeof g_outcome.fatalText, logger::g_szFatalText);
    CopyText(g_outcome.tag, sizeof g_outcome.tag, logger::g_szClientTag);
    g_outcome.cachedWindow = logger::g_hLoggerWnd.load();
    report.WriteValue(g_outcome);
  });
  SendOutcome outcome;
  bool reported = child.out.size() == sizeof outcome && child.exitCode == 0;
  if (reported) std::memcpy(&outcome, child.out.data(), sizeof outcome);
  if (ok != nullptr) *ok = reported;
  return outcome;
}

}  // namespace vellumar::testing
