// The child process helper itself: what the suites rely on when they start
// programs and run pieces of a test in another process.
#include "support/child.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "support/environment.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"
#include "support/waits.h"

namespace vellumar::testing {
namespace {

// The exit code of a piece of the test, by the way its body ends.
TEST(ChildRun, ExitCodeComesFromTheBody) {
  EXPECT_EQ(Child::Run([] { return 7; }).Wait(), 7);
  EXPECT_EQ(Child::Run([] {}).Wait(), 0);
  EXPECT_EQ(Child::Run([](ChildReport& report) { report.Write("x"); }).Wait(), 0);
  EXPECT_EQ(Child::Run([]() -> int { throw std::runtime_error("escapes"); }).Wait(),
            Child::kChildBodyThrew);
}

// The body sees the test's state as it was at the call; what it changes
// stays in its own process.
TEST(ChildRun, BodySeesTheStateAtTheCallAndChangesOnlyItsOwn) {
  int value = 41;
  ProcessResult r = RunInChild([&value](ChildReport& report) {
    ++value;
    report.WriteValue(value);
  });
  ASSERT_EQ(r.exitCode, 0);
  int seen = 0;
  ASSERT_EQ(r.out.size(), sizeof seen);
  std::memcpy(&seen, r.out.data(), sizeof seen);
  EXPECT_EQ(seen, 42);
  EXPECT_EQ(value, 41);
}

// The report can be read while the child still runs, value by value.
TEST(ChildRun, ReportArrivesWhileTheChildRuns) {
  Child child = Child::Run([](ChildReport& report) {
    report.WriteValue(std::uint32_t{0xC0FFEE});
    report.Write("line one\nline two\n");
    SleepMs(60000);
  });
  std::uint32_t value = 0;
  ASSERT_TRUE(child.ReadValue(value));
  EXPECT_EQ(value, 0xC0FFEEu);
  EXPECT_EQ(child.ReadLine(), "line one");
  EXPECT_EQ(child.ReadLine(), "line two");
  EXPECT_TRUE(child.Running());
  EXPECT_FALSE(child.Read(&value, sizeof value, 50)) << "nothing more was written";
}

// More output than a pipe holds, written before the child ends: waiting
// neither blocks the child nor loses a byte.
TEST(ChildRun, WaitCollectsOutputLargerThanAPipe) {
  constexpr std::size_t kSize = 1 << 20;
  ProcessResult r = RunInChild([](ChildReport& report) {
    const std::string block(kSize, 'b');
    report.Write(block);
  });
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, std::string(kSize, 'b'));
}

TEST(ChildRun, EnvironmentEntriesAreSetForTheBody) {
  ScopedEnv inherited("VELLUMAR_TEST_CHILD_ENTRY", "inherited");
  ChildOptions options;
  options.environment = {"VELLUMAR_TEST_CHILD_ENTRY=given"};
  ProcessResult r = RunInChild(
      [](ChildReport& report) {
        const char* value = std::getenv("VELLUMAR_TEST_CHILD_ENTRY");
        report.Write(value != nullptr ? value : "(unset)");
      },
      options);
  EXPECT_EQ(r.out, "given");
}

// A child that does not end in time: Wait gives -1 and leaves it running;
// stopping it, or leaving the scope, ends and collects it, leaving nothing
// open and nothing uncollected.
TEST(ChildRun, ChildThatDoesNotEndIsStoppedAndCollected) {
  const int handlesBefore = OpenHandleCount();
  {
    Child child = Child::Run([] { SleepMs(60000); });
    const std::int64_t start = NowMs();
    EXPECT_EQ(child.Wait(100), -1);
    EXPECT_GE(NowMs() - start, 100);
    EXPECT_TRUE(child.Running());
    EXPECT_TRUE(child.Stop());
    EXPECT_EQ(child.Wait(), -1) << "a killed child has no exit code";
    EXPECT_FALSE(child.Running());
    EXPECT_FALSE(child.Stop()) << "nothing left to stop";

    Child forgotten = Child::Run([] { SleepMs(60000); });
    EXPECT_TRUE(forgotten.Running());
  }
  EXPECT_EQ(UncollectedChildren(), 0);
  EXPECT_EQ(OpenHandleCount(), handlesBefore);
}

// Programs: output and error apart, the exit code, entries that replace
// inherited variables, and output sent to a file.
class ChildProgram : public ::testing::Test {
 protected:
  PrivateNamespace ns;  // the library registers at load
  TempDir dir;
};

TEST_F(ChildProgram, OutputAndErrorAreCollectedApart) {
  ProcessResult help = RunProgram({Paths().CallTool(), "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--library"), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");

  ProcessResult usage = RunProgram({Paths().CallTool()});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_EQ(usage.out, "");
  EXPECT_NE(usage.err.find("name an export"), std::string::npos) << usage.err;
}

TEST_F(ChildProgram, EnvironmentEntriesReplaceInheritedOnes) {
  WriteFile(dir / "vers_res.inf", {0x20, 0x03, 0x58, 0x02, 0x1A, 0x00});
  WriteText(dir / "win.ini", "[Pelorin]\nApplicationDirectory=" + dir.path() + "\n");
  ScopedEnv inherited("WININI", (dir / "missing.ini").c_str());
  ChildOptions options;
  options.environment = {"WININI=" + (dir / "win.ini")};
  ProcessResult r = RunProgram({Paths().CallTool(), "GetAppVersion"}, options);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Pelorin Version 5.1\n");
}

TEST_F(ChildProgram, OutputGoesToAFileWhenAsked) {
  ChildOptions options;
  options.output = Redirect::File(dir / "help");
  Child child({Paths().CallTool(), "--help"}, options);
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(child.Out(), "");
  EXPECT_NE(ReadFile(dir / "help").find("--library"), std::string::npos);
}

TEST_F(ChildProgram, AProgramThatCannotBeStartedGivesMinusOne) {
  Child child({dir / "no-such-program"});
  EXPECT_FALSE(child.Started());
  EXPECT_FALSE(child.Running());
  EXPECT_EQ(child.Wait(), -1);
  EXPECT_EQ(RunProgram({dir / "no-such-program"}).exitCode, -1);
}

}  // namespace
}  // namespace vellumar::testing
