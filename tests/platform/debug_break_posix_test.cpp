// The debugger break under a tracer that plays the debugger: the break
// reaches it as SIGTRAP, and the process goes on once it is let go.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/debug_break.h"

namespace vellumar::platform {
namespace {

constexpr int kNoTracing = 77;

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

}  // namespace
}  // namespace vellumar::platform
