// A debugger is attached when the kernel names a tracer for the process (any
// tracer counts): "TracerPid:" in /proc/self/status is not 0. The break is SIGTRAP, which
// the tracer sees and takes; untraced, SIGTRAP would end the process, so it
// is raised only under a tracer.
#include "platform/debug_break.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {
namespace {

std::atomic<test::BreakHook> g_breakHook{nullptr};

}  // namespace

bool DebuggerAttached() noexcept {
  const UniqueHandle file = posix::AdoptFd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  if (!file) return false;
  char status[4096];
  std::size_t used = 0;
  while (used < sizeof status - 1) {
    const ssize_t n = posix::RetryOnInterrupt(
        [&] { return ::read(posix::Fd(file), status + used, sizeof status - 1 - used); });
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
  }
  status[used] = '\0';
  static constexpr char kTracer[] = "\nTracerPid:";
  const char* p = std::strstr(status, kTracer);
  if (p == nullptr) return false;
  for (p += sizeof kTracer - 1; *p == ' ' || *p == '\t'; ++p) {
  }
  return *p >= '1' && *p <= '9';
}

void BreakIntoDebugger() noexcept {
  if (test::BreakHook hook = g_breakHook.load()) {
    hook();
    return;
  }
  if (DebuggerAttached()) ::raise(SIGTRAP);
}

namespace test {
BreakHook SetDebugBreakHook(BreakHook hook) noexcept { return g_breakHook.exchange(hook); }
}  // namespace test

}  // namespace vellumar::platform
