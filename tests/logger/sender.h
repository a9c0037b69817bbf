// A record sender in a child process of its own: the child runs the client
// call with the prompt and the debugger break replaced by recorders, and
// reports the call's result, its duration and what the user would have seen.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/fatal_prompt.h"

namespace vellumar::testing {

struct SendOutcome {
  std::int32_t result = -1;
  std::int64_t elapsedMs = 0;
  int prompts = 0;
  int breaks = 0;
  bool blockFreeAtBreak = false;  // the map event was set again before the break
  char caption[32] = {};
  char promptText[512] = {};
  char fatalText[256] = {};  // g_szFatalText after the call
  char tag[21] = {};         // g_szClientTag after the call
  std::uint32_t cachedWindow = 0;
};

struct SenderOptions {
  platform::PromptAnswer answer = platform::PromptAnswer::yes;
  bool hookBreak = true;                   // false: the real break (no debugger is attached)
  int promptDelayMs = 0;                   // the user takes this long to answer
  const char* promptShownEvent = nullptr;  // a named event set when the prompt is shown
};

// Runs `call` in a fresh child process and reports on it. `ok` is false
// when the child did not report (it died or hung).
SendOutcome RunSender(const std::function<std::int32_t()>& call, const SenderOptions& options = {},
                      bool* ok = nullptr);

}  // namespace vellumar::testing
