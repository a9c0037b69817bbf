// The debugger break in a real child process, once with no debugger and
// once under a tracer that plays the debugger.
#include "platform/debug_break.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/processes.h"

namespace vellumar::platform {
namespace {

constexpr int kNoTracing = 77;

TEST(DebugBreakTest, WithoutADebuggerTheProcessGoesOn) {
  testing::ForkedChild child([] {
    if (DebuggerAttached()) return 1;
    BreakIntoDebugger();
    return 0;  // still alive
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST(DebugBreakTest, UnderADebuggerItStopsWithSigtrap) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(kNoTracing);
    ::raise(SIGSTOP);  // the tracer takes over from here
    bool attached = DebuggerAttached();
    BreakIntoDebugger();
    ::_exit(attached ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoTracing) {
    GTEST_SKIP() << "tracing is not allowed here";
  }
  ASSERT_TRUE(WIFSTOPPED(status));
  ASSERT_EQ(WSTOPSIG(status), SIGSTOP);
  ASSERT_EQ(::ptrace(PTRACE_CONT, child, nullptr, nullptr), 0);
  // The break reaches the debugger, which lets the process go on.
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSTOPPED(status));
  EXPECT_EQ(WSTOPSIG(status), SIGTRAP);
  ASSERT_EQ(::ptrace(PTRACE_CONT, child, nullptr, nullptr), 0);
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

int g_breaks = 0;
void CountBreak() { ++g_breaks; }

TEST(DebugBreakTest, TheHookIsCalledInPlaceOfTheBreak) {
  testing::ForkedChild child([] {
    test::SetDebugBreakHook(CountBreak);
    BreakIntoDebugger();
    BreakIntoDebugger();
    test::SetDebugBreakHook(nullptr);
    BreakIntoDebugger();  // the real break: no debugger, nothing happens
    return g_breaks;
  });
  EXPECT_EQ(child.Wait(), 2);
}

}  // namespace
}  // namespace vellumar::platform
