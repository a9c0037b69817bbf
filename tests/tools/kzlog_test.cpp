// kzlog, the record sender, against a running kzlogger.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "logger/logger_client.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::logger {
namespace {

using testing::Spawned;

class KzlogTest : public ::testing::Test {
 protected:
  int Kzlog(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VELLUMAR_KZLOG_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawned(argv, {.stdoutPath = dir / "out"}).Wait();
  }
  std::string Out() { return testing::ReadFile(dir / "out"); }

  testing::LoggerNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
};

TEST_F(KzlogTest, SendDeliversTheTextWithItsPrefix) {
  Spawned logger = testing::StartKzlogger({"--output", log});
  EXPECT_EQ(Kzlog({"send", "hello"}), 0);
  EXPECT_EQ(Kzlog({"send", "--prefix", "Mod     /", "--module", "Mod", "with prefix"}), 0);
  EXPECT_EQ(Kzlog({"send", "100% %s %d"}), 0);  // the text is never a format
  EXPECT_EQ(testing::ReadLines(log),
            (std::vector<std::string>{"hello", "Mod     /with prefix", "100% %s %d"}));
}

TEST_F(KzlogTest, SendExitsOneWhenTheRecordIsNotDelivered) {
  {
    Spawned killed = testing::StartKzlogger({"--output", log});
    killed.Signal(SIGKILL);
    killed.Wait();
  }
  EXPECT_EQ(Kzlog({"send", "lost"}), 1);  // a logger is known, but gone
}

TEST_F(KzlogTest, SendWithNoLoggerSucceeds) { EXPECT_EQ(Kzlog({"send", "--fatal", "x"}), 0); }

TEST_F(KzlogTest, FindPrintsTheWindowOrZero) {
  EXPECT_EQ(Kzlog({"find"}), 0);
  EXPECT_EQ(Out(), "0\n");
  Spawned logger = testing::StartKzlogger({"--output", log});
  EXPECT_EQ(Kzlog({"find"}), 0);
  EXPECT_EQ(Out(), std::to_string(LoggerFindWindow()) + "\n");
}

TEST_F(KzlogTest, LaunchStartsTheLoggerFromPath) {
  std::filesystem::create_directory(dir / "bin");
  std::error_code error;
  std::filesystem::create_symlink(VELLUMAR_KZLOGGER_PATH, dir / "bin/kzlogger", error);
  ASSERT_FALSE(error) << error.message();
  testing::ScopedEnv path("PATH", (dir / "bin").c_str());
  testing::ScopedEnv state("XDG_STATE_HOME", (dir / "state").c_str());
  EXPECT_EQ(Kzlog({"launch", "--module", "Mod"}), 0);
  EXPECT_NE(LoggerFindWindow(), 0u);
  EXPECT_EQ(Kzlog({"send", "after launch"}), 0);
  EXPECT_EQ(testing::ReadFile(dir / "state/kzlogger/kzlogger.log"), "after launch\n");
}

TEST_F(KzlogTest, UsageErrorsExitTwo) {
  EXPECT_EQ(Kzlog({}), 2);
  EXPECT_EQ(Kzlog({"send"}), 2);
  EXPECT_EQ(Kzlog({"bogus"}), 2);
}

}  // namespace
}  // namespace vellumar::logger
