// Whether a launch starts the program at all, told by a stand-in "kzlogger"
// on PATH: a shell script that notes each start in a file. Each launch runs
// in a fresh child process, so it is that process's first call of the
// client.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logger/logger_client.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/logger_exchange.h"
#include "support/posix/posix_only.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"
#include "support/waits.h"

namespace vellumar::logger {
namespace {

struct DecisionCase {
  const char* name;
  bool (*call)();  // in the child; false when the setup failed
  bool started;
};
VELLUMAR_PRINT_AS_CASE_NAME(DecisionCase)

bool LaunchWithNoLogger() {
  LoggerLaunch("Mod");
  return true;
}

// The window in the block is gone, but the client has it cached.
bool LaunchWithStaleWindowCached() {
  testing::FakeLogger stale(testing::FakeLoggerParts{.windowAlive = false});
  LoggerInit("Mod");
  if (g_hLoggerWnd.load() == 0) return false;
  LoggerLaunch("Mod");
  return true;
}

// The last refresh found no logger; one has started since.
bool LaunchAfterALoggerStartedUnseen() {
  LoggerInit("Mod");
  if (g_hLoggerWnd.load() != 0) return false;
  testing::FakeLogger running;
  LoggerLaunch("Mod");
  return g_hLoggerWnd.load() == running.handle();  // the closing refresh finds it
}

class LaunchDecisionTest : public ::testing::TestWithParam<DecisionCase> {
 protected:
  LaunchDecisionTest() { std::filesystem::create_directory(dir / "bin"); }

  testing::PrivateNamespace ns;
  testing::TempDir dir;
  // Only our own directory is searched for the program.
  testing::ScopedEnv path{"PATH", (dir / "bin").c_str()};
};

TEST_P(LaunchDecisionTest, StartsTheProgramOnlyWhenNoWindowIsCached) {
  const std::string marker = dir / "started";
  testing::posix::WriteText(dir / "bin/kzlogger", "#!/bin/sh\necho started >> \"" + marker + "\"\n",
                            0755);
  testing::ProcessResult child = testing::RunInChild(
      [](testing::ChildReport& report) { report.Write(GetParam().call() ? "y" : "n"); });
  ASSERT_EQ(child.out, "y");
  // The launch need not wait for a program that finds a window in the block
  // already: give a start the time to show.
  if (GetParam().started) {
    testing::WaitUntil([&] { return !testing::ReadFile(marker).empty(); }, 3000);
  } else {
    testing::SleepMs(300);
  }
  EXPECT_EQ(testing::ReadFile(marker), GetParam().started ? "started\n" : "");
}

INSTANTIATE_TEST_SUITE_P(Decisions, LaunchDecisionTest,
                         ::testing::Values(DecisionCase{"NoLoggerKnown", LaunchWithNoLogger, true},
                                           DecisionCase{"CachedWindowThatIsGone",
                                                        LaunchWithStaleWindowCached, false},
                                           DecisionCase{"LoggerStartedSinceTheLastRefresh",
                                                        LaunchAfterALoggerStartedUnseen, true}),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
