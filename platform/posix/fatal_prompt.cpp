// The prompt is asked on the controlling terminal, whatever the standard
// streams are redirected to. The text can carry anything a caller put into
// a record, so control characters are shown as '?' rather than sent to the
// terminal, where they could rewrite the screen or the question.
#include "platform/fatal_prompt.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {
namespace {

std::atomic<test::PromptHook> g_promptHook{nullptr};

void WriteShown(int fd, const char* text) noexcept {
  char chunk[256];
  std::size_t used = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    chunk[used++] = (c < 0x20 && c != '\n' && c != '\t') || c == 0x7f ? '?' : *p;
    if (used == sizeof chunk) {
      posix::WriteAll(fd, chunk, used);
      used = 0;
    }
  }
  posix::WriteAll(fd, chunk, used);
}

// Reads one line; Yes when its first character other than a blank is 'y'.
PromptAnswer ReadAnswer(int fd) noexcept {
  char first = '\0';
  char buffer[64];
  for (;;) {
    const ssize_t n = posix::RetryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
    if (n <= 0) return PromptAnswer::no;
    for (ssize_t i = 0; i < n; ++i) {
      char c = buffer[i];
      if (c == '\n') return first == 'y' || first == 'Y' ? PromptAnswer::yes : PromptAnswer::no;
      if (first == '\0' && c != ' ' && c != '\t') first = c;
    }
  }
}

}  // namespace

PromptAnswer ShowFatalPrompt(const char* caption, const char* text) noexcept {
  if (test::PromptHook hook = g_promptHook.load()) return hook(caption, text);
  const UniqueHandle tty = posix::AdoptFd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!tty) return PromptAnswer::no;
  const int fd = posix::Fd(tty);
  posix::WriteAll(fd, "\n", 1);
  WriteShown(fd, caption);
  posix::WriteAll(fd, "\n", 1);
  WriteShown(fd, text);
  static constexpr char kChoice[] = " [y/N] ";
  posix::WriteAll(fd, kChoice, sizeof kChoice - 1);
  return ReadAnswer(fd);
}

namespace test {
PromptHook SetFatalPromptHook(PromptHook hook) noexcept { return g_promptHook.exchange(hook); }
}  // namespace test

}  // namespace vellumar::platform
