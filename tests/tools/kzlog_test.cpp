// kzlog, the record sender, against a running kzlogger.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logger/logger_client.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/logger_exchange.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar::logger {
namespace {

using testing::Child;

class KzlogTest : public ::testing::Test {
 protected:
  // kzlog's exit code; what it printed is in `out`.
  int Kzlog(const std::vector<std::string>& args) {
    std::vector<std::string> argv{testing::Paths().Kzlog()};
    argv.insert(argv.end(), args.begin(), args.end());
    testing::ProcessResult result = testing::RunProgram(argv);
    out = result.out;
    return result.exitCode;
  }

  testing::PrivateNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
  std::string out;  // kzlog's standard output, from its last run
};

TEST_F(KzlogTest, SendDeliversTheTextWithItsPrefix) {
  Child logger = testing::StartKzlogger({"--output", log});
  EXPECT_EQ(Kzlog({"send", "hello"}), 0);
  EXPECT_EQ(Kzlog({"send", "--prefix", "Mod     /", "--module", "Mod", "with prefix"}), 0);
  EXPECT_EQ(Kzlog({"send", "100% %s %d"}), 0);  // the text is never a format
  EXPECT_EQ(testing::ReadLines(log),
            (std::vector<std::string>{"hello", "Mod     /with prefix", "100% %s %d"}));
}

TEST_F(KzlogTest, SendExitsOneWhenTheRecordIsNotDelivered) {
  {
    Child killed = testing::StartKzlogger({"--output", log});
    killed.Stop();
    killed.Wait();
  }
  EXPECT_EQ(Kzlog({"send", "lost"}), 1);  // a logger is known, but gone
}

TEST_F(KzlogTest, SendWithNoLoggerSucceeds) { EXPECT_EQ(Kzlog({"send", "--fatal", "x"}), 0); }

TEST_F(KzlogTest, FindPrintsTheWindowOrZero) {
  EXPECT_EQ(Kzlog({"find"}), 0);
  EXPECT_EQ(out, "0\n");
  Child logger = testing::StartKzlogger({"--output", log});
  EXPECT_EQ(Kzlog({"find"}), 0);
  EXPECT_EQ(out, std::to_string(LoggerFindWindow()) + "\n");
}

TEST_F(KzlogTest, LaunchStartsTheLoggerFromPath) {
  std::filesystem::create_directory(dir / "bin");
  std::error_code error;
  std::filesystem::create_symlink(testing::Paths().Kzlogger(), dir / "bin/kzlogger", error);
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
