// kzlogger as its users meet it: started as a program, fed by real senders
// (kzlog), asked to stop.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "logger/logger_client.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/logger_exchange.h"
#include "support/paths.h"
#include "support/temp_files.h"
#include "tools/kzlogger_fixture.h"

namespace vellumar::logger {
namespace {

using kzlogger_testing::KzloggerTest;
using kzlogger_testing::KzlogSend;
using kzlogger_testing::StopCase;
using kzlogger_testing::StopSignalTest;
using testing::Child;
using testing::StartKzlogger;

TEST_F(KzloggerTest, WritesEachRecordAsOneLineToStandardOutput) {
  Child logger = StartKzlogger({}, {.output = testing::Redirect::File(log)});
  EXPECT_EQ(KzlogSend("one"), 0);
  EXPECT_EQ(KzlogSend("two words"), 0);
  EXPECT_EQ(testing::ReadFile(log), "one\ntwo words\n");
}

TEST_F(KzloggerTest, AppendsToTheOutputFile) {
  testing::WriteText(log, "earlier\n");
  Child logger = StartKzlogger({"--output", log});
  EXPECT_EQ(KzlogSend("later"), 0);
  EXPECT_EQ(testing::ReadFile(log), "earlier\nlater\n");  // flushed at once, not at exit
}

TEST_F(KzloggerTest, PutsTheLocalTimeBeforeEachRecordWhenAsked) {
  Child logger = StartKzlogger({"--output", log, "--timestamps"});
  EXPECT_EQ(KzlogSend("stamped"), 0);
  std::string text = testing::ReadFile(log);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d stamped\n)")))
      << text;
}

TEST_F(KzloggerTest, RefusesToStartWhileAnotherLoggerRuns) {
  Child first = StartKzlogger({"--output", log});
  const LoggerWindow window = LoggerFindWindow();
  Child second({testing::Paths().Kzlogger(), "--output", dir / "other"});
  EXPECT_EQ(second.Wait(5000), 1);
  EXPECT_NE(second.Err().find("another logger is already running"), std::string::npos)
      << second.Err();
  // The first logger is untouched and goes on working.
  EXPECT_EQ(LoggerFindWindow(), window);
  EXPECT_EQ(KzlogSend("still here"), 0);
  EXPECT_EQ(testing::ReadFile(log), "still here\n");
}

TEST_F(KzloggerTest, StartsCleanlyAfterALoggerThatWasKilled) {
  LoggerWindow dead = 0;
  {
    Child killed = StartKzlogger({"--output", dir / "old"});
    dead = LoggerFindWindow();
    killed.Stop();
    killed.Wait();
  }
  // What the dead logger left: its window in the block, which is gone.
  ASSERT_EQ(LoggerFindWindow(), dead);
  ASSERT_FALSE(platform::WindowExists(dead));
  EXPECT_EQ(KzlogSend("into the void"), 1);

  Child logger = StartKzlogger({"--output", log});
  EXPECT_NE(LoggerFindWindow(), dead);
  EXPECT_EQ(KzlogSend("fresh"), 0);
  EXPECT_EQ(testing::ReadFile(log), "fresh\n");
}

TEST_F(KzloggerTest, HelpNamesItsOptions) {
  testing::ProcessResult help = testing::RunProgram({testing::Paths().Kzlogger(), "--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option : {"--output", "--timestamps", "--block-size"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(LoggerFindWindow(), 0u) << "--help must not start a logger";
}

TEST_P(StopSignalTest, ClearsItsWindowAndRemovesItsObjects) {
  Child logger = StartKzlogger({"--output", log});
  const LoggerWindow window = LoggerFindWindow();
  // A module that has the block open sees the window cleared.
  platform::SharedMapping held =
      platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read);
  platform::SharedView view = held.MapView();
  ASSERT_TRUE(view);
  ASSERT_TRUE(GetParam().stop(logger));
  EXPECT_EQ(logger.Wait(5000), 0);
  std::uint32_t inBlock = 1;
  std::memcpy(&inBlock, view.data(), sizeof inBlock);
  EXPECT_EQ(inBlock, 0u);
  EXPECT_FALSE(platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read));
  EXPECT_FALSE(platform::NamedEvent::Open(kMapEventName));
  EXPECT_FALSE(platform::NamedEvent::Open(kDebugEventName));
  EXPECT_FALSE(platform::WindowExists(window));
  EXPECT_EQ(LoggerFindWindow(), 0u);
  // And the next logger starts at once.
  Child next = StartKzlogger({"--output", log});
}

// The requests every system has: the user's interrupt (Ctrl-C) and the
// system asking the program to end. Rows are named after their POSIX signals.
INSTANTIATE_TEST_SUITE_P(
    Signals, StopSignalTest,
    ::testing::Values(
        StopCase{"SIGINT",
                 [](Child& logger) { return logger.Stop(testing::StopRequest::interrupt); }},
        StopCase{"SIGTERM",
                 [](Child& logger) { return logger.Stop(testing::StopRequest::terminate); }}),
    testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
