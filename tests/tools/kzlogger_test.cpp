// kzlogger as its users meet it: started as a program, fed by real senders
// (kzlog), stopped by signals.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "logger/logger_client.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::logger {
namespace {

using testing::Spawned;
using testing::StartKzlogger;

int KzlogSend(const std::string& text) {
  return Spawned({VELLUMAR_KZLOG_PATH, "send", text}).Wait();
}

class KzloggerTest : public ::testing::Test {
 protected:
  testing::LoggerNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
};

TEST_F(KzloggerTest, WritesEachRecordAsOneLineToStandardOutput) {
  Spawned logger = StartKzlogger({}, {.stdoutPath = log});
  EXPECT_EQ(KzlogSend("one"), 0);
  EXPECT_EQ(KzlogSend("two words"), 0);
  EXPECT_EQ(testing::ReadFile(log), "one\ntwo words\n");
}

TEST_F(KzloggerTest, AppendsToTheOutputFile) {
  testing::WriteFile(log, "earlier\n");
  Spawned logger = StartKzlogger({"--output", log});
  EXPECT_EQ(KzlogSend("later"), 0);
  EXPECT_EQ(testing::ReadFile(log), "earlier\nlater\n");  // flushed at once, not at exit
}

TEST_F(KzloggerTest, PutsTheLocalTimeBeforeEachRecordWhenAsked) {
  Spawned logger = StartKzlogger({"--output", log, "--timestamps"});
  EXPECT_EQ(KzlogSend("stamped"), 0);
  std::string text = testing::ReadFile(log);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d stamped\n)")))
      << text;
}

TEST_F(KzloggerTest, RefusesToStartWhileAnotherLoggerRuns) {
  Spawned first = StartKzlogger({"--output", log});
  const LoggerWindow window = LoggerFindWindow();
  Spawned second({VELLUMAR_KZLOGGER_PATH, "--output", dir / "other"},
                 {.stderrPath = dir / "stderr"});
  EXPECT_EQ(second.Wait(5000), 1);
  EXPECT_NE(testing::ReadFile(dir / "stderr").find("another logger is already running"),
            std::string::npos)
      << testing::ReadFile(dir / "stderr");
  // The first logger is untouched and goes on working.
  EXPECT_EQ(LoggerFindWindow(), window);
  EXPECT_EQ(KzlogSend("still here"), 0);
  EXPECT_EQ(testing::ReadFile(log), "still here\n");
}

TEST_F(KzloggerTest, StartsCleanlyAfterALoggerThatWasKilled) {
  LoggerWindow dead = 0;
  {
    Spawned killed = StartKzlogger({"--output", dir / "old"});
    dead = LoggerFindWindow();
    killed.Signal(SIGKILL);
    killed.Wait();
  }
  // What the dead logger left: its window in the block, which is gone.
  ASSERT_EQ(LoggerFindWindow(), dead);
  ASSERT_FALSE(platform::WindowExists(dead));
  EXPECT_EQ(KzlogSend("into the void"), 1);

  Spawned logger = StartKzlogger({"--output", log});
  EXPECT_NE(LoggerFindWindow(), dead);
  EXPECT_EQ(KzlogSend("fresh"), 0);
  EXPECT_EQ(testing::ReadFile(log), "fresh\n");
}

TEST_F(KzloggerTest, HelpNamesItsOptions) {
  Spawned help({VELLUMAR_KZLOGGER_PATH, "--help"}, {.stdoutPath = dir / "help"});
  EXPECT_EQ(help.Wait(), 0);
  std::string text = testing::ReadFile(dir / "help");
  for (const char* option : {"--output", "--timestamps", "--block-size"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(LoggerFindWindow(), 0u) << "--help must not start a logger";
}

}  // namespace
}  // namespace vellumar::logger
