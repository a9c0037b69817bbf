// The fatal prompt: a Yes/No question put to the user at once, for an error
// that the user must see before the program goes on. No is the default, so
// anything but a clear Yes, and having no one to ask, answers No.
#pragma once

namespace vellumar::platform {

enum class PromptAnswer { yes, no };

// Shows the caption and the text and waits for the answer.
PromptAnswer ShowFatalPrompt(const char* caption, const char* text) noexcept;

namespace test {
// Answers every prompt in place of the user until the previous hook is put
// back; nullptr asks the user again. The hook sees caption and text as they
// would be shown. For tests only; production code never calls it.
using PromptHook = PromptAnswer (*)(const char* caption, const char* text);
PromptHook SetFatalPromptHook(PromptHook hook) noexcept;
}  // namespace test

}  // namespace vellumar::platform
