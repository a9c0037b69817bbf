// Starting the logger: the client looks "kzlogger" up on PATH and starts it
// detached. Each launch runs in a fresh child process, so it is that
// process's first call of the client whenever a case needs it to be.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "logger/logger_client.h"
#include "logger/sender.h"
#include "platform/message_window.h"
#include "support/case_name.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::logger {
namespace {

using testing::RunSender;
using testing::SendOutcome;

class LoggerLaunchTest : public ::testing::Test {
 protected:
  LoggerLaunchTest() { std::filesystem::create_directory(dir / "bin"); }

  // The real logger program, on our PATH under its own name.
  void InstallKzlogger() {
    std::error_code error;
    std::filesystem::create_symlink(VELLUMAR_KZLOGGER_PATH, dir / "bin/kzlogger", error);
    ASSERT_FALSE(error) << error.message();
  }

  testing::LoggerNamespace ns;
  testing::TempDir dir;
  // Only our own directory is searched for the program.
  testing::ScopedEnv path{"PATH", (dir / "bin").c_str()};
  testing::ScopedEnv state{"XDG_STATE_HOME", (dir / "state").c_str()};
};

TEST_F(LoggerLaunchTest, StartsKzloggerFromPathAndTheNextSendReachesIt) {
  ASSERT_NO_FATAL_FAILURE(InstallKzlogger());
  struct Report {
    std::uint32_t window;
    int descriptorsBefore;
    int descriptorsAfter;
    int zombies;
    std::int32_t sent;
  };
  testing::ChildResult child = testing::RunInChild([](int report) {
    Report r{};
    r.descriptorsBefore = testing::OpenDescriptorCount();
    LoggerLaunch("LaunchTest");
    r.window = g_hLoggerWnd.load();
    r.descriptorsAfter = testing::OpenDescriptorCount();
    r.zombies = testing::ZombieChildren();
    r.sent = LoggerSendf(0, "", "%s", "hello");
    testing::WriteReport(report, &r, sizeof r);
  });
  ASSERT_EQ(child.report.size(), sizeof(Report));
  Report r;
  std::memcpy(&r, child.report.data(), sizeof r);
  EXPECT_NE(r.window, 0u) << "the launch did not wait for the new logger";
  EXPECT_EQ(r.window, LoggerFindWindow());
  EXPECT_EQ(r.descriptorsAfter, r.descriptorsBefore);
  EXPECT_EQ(r.zombies, 0);
  EXPECT_EQ(r.sent, 1);
  // Started with no terminal, the logger writes to the user's state log.
  EXPECT_EQ(testing::ReadFile(dir / "state/kzlogger/kzlogger.log"), "hello\n");
}

TEST_F(LoggerLaunchTest, WaitsForTheNewLoggerRatherThanADeadOnesWindow) {
  ASSERT_NO_FATAL_FAILURE(InstallKzlogger());
  struct Report {
    std::uint32_t stale;
    std::uint32_t cached;
    bool cachedExists;
  };
  testing::ChildResult child = testing::RunInChild([](int report) {
    LoggerInit("Mod");  // no logger yet: nothing cached
    Report r{};
    {
      // A killed logger's block: its window is still in it, but gone.
      testing::FakeLogger dead(testing::FakeLoggerParts{.windowAlive = false});
      r.stale = dead.handle();
    }
    LoggerLaunch("Mod");
    r.cached = g_hLoggerWnd.load();
    r.cachedExists = platform::WindowExists(r.cached);
    testing::WriteReport(report, &r, sizeof r);
  });
  ASSERT_EQ(child.report.size(), sizeof(Report));
  Report r;
  std::memcpy(&r, child.report.data(), sizeof r);
  EXPECT_NE(r.cached, r.stale);
  EXPECT_TRUE(r.cachedExists);
}

// Whether a launch starts the program: a stand-in "kzlogger" on PATH notes
// each start in a file.
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

class LaunchDecisionTest : public LoggerLaunchTest,
                           public ::testing::WithParamInterface<DecisionCase> {};

TEST_P(LaunchDecisionTest, StartsTheProgramOnlyWhenNoWindowIsCached) {
  const std::string marker = dir / "started";
  testing::WriteFile(dir / "bin/kzlogger", "#!/bin/sh\necho started >> \"" + marker + "\"\n", 0755);
  testing::ChildResult child = testing::RunInChild([](int report) {
    char ok = GetParam().call() ? 'y' : 'n';
    testing::WriteReport(report, &ok, 1);
  });
  ASSERT_EQ(child.report, "y");
  // The launch need not wait for a program that finds a window in the block
  // already: give a start the time to show.
  if (GetParam().started) {
    testing::WaitUntil([&] { return !testing::ReadFile(marker).empty(); }, 3000);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
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

// The first call of the client registers it; the tag says under what name.
struct FirstCallCase {
  const char* name;
  std::int32_t (*call)();
  const char* tag;
};
VELLUMAR_PRINT_AS_CASE_NAME(FirstCallCase)

class FirstCallTest : public LoggerLaunchTest,
                      public ::testing::WithParamInterface<FirstCallCase> {};

TEST_P(FirstCallTest, RegistersTheClientUnderAFallBackName) {
  // No logger is running and none can be found on PATH.
  bool ok = false;
  SendOutcome out = RunSender(GetParam().call, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_STREQ(out.tag, GetParam().tag);
  EXPECT_EQ(out.cachedWindow, 0u);
  EXPECT_LT(out.elapsedMs, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FirstCallTest,
    ::testing::Values(FirstCallCase{"SendFirst", [] { return LoggerSendf(0, "", "%s", "x"); },
                                    "UNKNOWN /"},
                      FirstCallCase{"LaunchWithEmptyNameFirst",
                                    [] {
                                      LoggerLaunch("");
                                      return std::int32_t{1};
                                    },
                                    "UNKNOWN//"},
                      FirstCallCase{"LaunchWithANameFirst",
                                    [] {
                                      LoggerLaunch("Mod");
                                      return std::int32_t{1};
                                    },
                                    "Mod     /"}),
    testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
