// Starting the logger: the client looks "kzlogger" up on PATH and starts it
// detached. Each launch runs in a fresh child process, so it is that
// process's first call of the client whenever a case needs it to be.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "logger/logger_client.h"
#include "logger/sender.h"
#include "platform/message_window.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/logger_exchange.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

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
    std::filesystem::create_symlink(testing::Paths().Kzlogger(), dir / "bin/kzlogger", error);
    ASSERT_FALSE(error) << error.message();
  }

  testing::PrivateNamespace ns;
  testing::TempDir dir;
  // Only our own directory is searched for the program.
  testing::ScopedEnv path{"PATH", (dir / "bin").c_str()};
  testing::ScopedEnv state{"XDG_STATE_HOME", (dir / "state").c_str()};
};

TEST_F(LoggerLaunchTest, StartsKzloggerFromPathAndTheNextSendReachesIt) {
  ASSERT_NO_FATAL_FAILURE(InstallKzlogger());
  struct Report {
    std::uint32_t window;
    int handlesBefore;
    int handlesAfter;
    int zombies;
    std::int32_t sent;
  };
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    Report r{};
    r.handlesBefore = testing::OpenHandleCount();
    LoggerLaunch("LaunchTest");
    r.window = g_hLoggerWnd.load();
    r.handlesAfter = testing::OpenHandleCount();
    r.zombies = testing::UncollectedChildren();
    r.sent = LoggerSendf(0, "", "%s", "hello");
    report.WriteValue(r);
  });
  ASSERT_EQ(child.out.size(), sizeof(Report));
  Report r;
  std::memcpy(&r, child.out.data(), sizeof r);
  EXPECT_NE(r.window, 0u) << "the launch did not wait for the new logger";
  EXPECT_EQ(r.window, LoggerFindWindow());
  EXPECT_EQ(r.handlesAfter, r.handlesBefore);
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
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
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
    report.WriteValue(r);
  });
  ASSERT_EQ(child.out.size(), sizeof(Report));
  Report r;
  std::memcpy(&r, child.out.data(), sizeof r);
  EXPECT_NE(r.cached, r.stale);
  EXPECT_TRUE(r.cachedExists);
}

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
