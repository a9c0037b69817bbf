// Record delivery, case by case: the sender is always a child process of
// its own; the logger is kzlogger itself, or a stand-in with parts left out
// where a case needs a logger that misbehaves.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "logger/logger_client.h"
#include "logger/sender.h"
#include "platform/named_event.h"
#include "platform/registered_message.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/logger_exchange.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar::logger {
namespace {

using platform::PromptAnswer;
using platform::WaitResult;
using testing::FakeLogger;
using testing::FakeLoggerParts;
using testing::RunSender;
using testing::SenderOptions;
using testing::SendOutcome;

// A sender that hangs on to nothing shows it: the block's gate is free.
bool GateIsFree(FakeLogger& fake) {
  if (fake.mapEvent().Wait(0) != WaitResult::signalled) return false;
  fake.mapEvent().Set();
  return true;
}

bool WindowWasTold(FakeLogger& fake) {
  platform::WindowMessage message{};
  return fake.window().Receive(message, 0) == platform::ReceiveResult::message;
}

// Set by a sender's stand-in user when the fatal prompt is on screen.
constexpr char kPromptShown[] = "TestPromptShown";

class LoggerSendTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
};

// No logger: 1 at once, fatal or not, and no one is asked anything.
struct NoLoggerCase {
  const char* name;
  bool block;  // a block whose window is 0
  std::int32_t fatal;
};
VELLUMAR_PRINT_AS_CASE_NAME(NoLoggerCase)

class NoLoggerTest : public LoggerSendTest, public ::testing::WithParamInterface<NoLoggerCase> {};

TEST_P(NoLoggerTest, AnswersOneAtOnceWithoutAPrompt) {
  const NoLoggerCase& c = GetParam();
  std::optional<FakeLogger> fake;
  if (c.block) fake.emplace(FakeLoggerParts{.window = false});
  bool ok = false;
  SendOutcome out =
      RunSender([&] { return LoggerSendf(c.fatal, "", "%s", "nobody listens"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.prompts, 0);
  EXPECT_EQ(out.cachedWindow, 0u);
  EXPECT_LT(out.elapsedMs, 500);
  if (fake) {
    EXPECT_EQ(fake->Record(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, NoLoggerTest,
                         ::testing::Values(NoLoggerCase{"NoBlock", false, 0},
                                           NoLoggerCase{"NoBlockFatal", false, 1},
                                           NoLoggerCase{"ZeroWindow", true, 0},
                                           NoLoggerCase{"ZeroWindowFatal", true, 1}),
                         testing::CaseName());

TEST_F(LoggerSendTest, AStaleWindowDropsARecordThatIsNotFatal) {
  FakeLogger fake(FakeLoggerParts{.windowAlive = false});
  fake.FillRecordArea();
  bool ok = false;
  SendOutcome out = RunSender([] { return LoggerSendf(0, "pfx: ", "%s", "lost"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.cachedWindow, fake.handle());
  EXPECT_TRUE(fake.RecordAreaUntouched());
  EXPECT_EQ(out.prompts, 0);
  EXPECT_TRUE(GateIsFree(fake));
}

TEST_F(LoggerSendTest, AStaleWindowStillTakesAFatalRecordAndAsks) {
  FakeLogger fake(FakeLoggerParts{.windowAlive = false});
  bool ok = false;
  SendOutcome out = RunSender([] { return LoggerSendf(1, "pfx: ", "%s", "boom"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(fake.Record(), "pfx: boom");
  EXPECT_EQ(out.prompts, 1);
  EXPECT_STREQ(out.caption, "Internal Error");
  EXPECT_STREQ(out.promptText, "pfx: boom\n\nContinue?");
  EXPECT_EQ(out.breaks, 0);
  // No one was told, so no one was waited for.
  EXPECT_LT(out.elapsedMs, 1500);
  EXPECT_TRUE(GateIsFree(fake));
}

// A logger that lacks a part: 0, nothing written, nobody told or asked, and
// the block's gate set again when it had been taken.
struct MissingPartCase {
  const char* name;
  FakeLoggerParts parts;
};
VELLUMAR_PRINT_AS_CASE_NAME(MissingPartCase)

class MissingPartTest : public LoggerSendTest,
                        public ::testing::WithParamInterface<MissingPartCase> {};

TEST_P(MissingPartTest, GivesZeroAndLetsGoOfWhatItTook) {
  FakeLogger fake(GetParam().parts);
  fake.FillRecordArea();
  bool ok = false;
  SendOutcome out = RunSender([] { return LoggerSendf(1, "", "%s", "not delivered"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 0);
  EXPECT_TRUE(fake.RecordAreaUntouched());
  EXPECT_EQ(out.prompts, 0);
  EXPECT_FALSE(WindowWasTold(fake));
  EXPECT_LT(out.elapsedMs, 1500);
  if (GetParam().parts.mapEvent) {
    EXPECT_TRUE(GateIsFree(fake));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Parts, MissingPartTest,
    ::testing::Values(MissingPartCase{"NoMapEvent", FakeLoggerParts{.mapEvent = false}},
                      MissingPartCase{"NoDebugEvent", FakeLoggerParts{.debugEvent = false}},
                      MissingPartCase{"NoRoomForARecord", FakeLoggerParts{.blockSize = 4}}),
    testing::CaseName());

TEST_F(LoggerSendTest, ALoggerThatNeverTakesTheRecordCostsTwoSeconds) {
  FakeLogger fake;
  bool ok = false;
  SendOutcome out = RunSender([] { return LoggerSendf(0, "p:", "%s", "unread"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 1);
  EXPECT_GE(out.elapsedMs, 1950);
  EXPECT_LT(out.elapsedMs, 3500);
  EXPECT_EQ(fake.Record(), "p:unread");
  platform::WindowMessage message{};
  ASSERT_EQ(fake.window().Receive(message, 0), platform::ReceiveResult::message);
  EXPECT_EQ(message.message, platform::RegisterMessage(kDebugMessageName));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 0u);
  EXPECT_TRUE(GateIsFree(fake));
}

TEST_F(LoggerSendTest, ABlockHeldByAnotherSenderDropsTheRecordAfterTwoSeconds) {
  testing::Child logger = testing::StartKzlogger({"--output", log});
  platform::NamedEvent shown =
      platform::NamedEvent::Create(kPromptShown, platform::EventReset::manual, false);
  ASSERT_TRUE(shown);
  // The first sender holds the block while its fatal prompt is open.
  testing::Child holder = testing::Child::Run([] {
    SenderOptions slowUser;
    slowUser.promptDelayMs = 3200;
    slowUser.promptShownEvent = kPromptShown;
    bool ok = false;
    SendOutcome first = RunSender([] { return LoggerSendf(1, "", "%s", "first"); }, slowUser, &ok);
    return ok && first.result == 1 ? 0 : 1;
  });
  ASSERT_EQ(shown.Wait(10000), WaitResult::signalled);
  bool ok = false;
  SendOutcome second = RunSender([] { return LoggerSendf(0, "", "%s", "second"); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(second.result, 0);
  EXPECT_GE(second.elapsedMs, 1950);
  EXPECT_LT(second.elapsedMs, 3000);
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(testing::ReadLines(log), std::vector<std::string>{"first"});
}

// The record is the prefix, then the formatted text, and nothing else.
struct LayoutCase {
  const char* name;
  std::int32_t (*send)();
  const char* line;
};

const LayoutCase kLayouts[] = {
    {"PrefixAndText", [] { return LoggerSendf(0, "Vellumar/", "%s", "hello"); }, "Vellumar/hello"},
    {"EmptyPrefix", [] { return LoggerSendf(0, "", "%s", "alone"); }, "alone"},
    {"FormatWithoutConversions", [] { return LoggerSendf(0, "pre ", "no conversions"); },
     "pre no conversions"},
    {"Conversions", [] { return LoggerSendf(0, "", "%d-%s-%04x", 42, "x", 255); }, "42-x-00ff"},
    {"PercentSign", [] { return LoggerSendf(0, "", "100%%"); }, "100%"},
    {"EmptyRecord", [] { return LoggerSendf(0, "", "%s", ""); }, ""},
    {"NoPrefixAtAll", [] { return LoggerSendf(0, nullptr, "%s", "no prefix"); }, "no prefix"},
    {"NoFormatAtAll", [] { return LoggerSendf(0, "only prefix", nullptr); }, "only prefix"},
};

TEST_F(LoggerSendTest, WritesThePrefixThenTheFormattedText) {
  testing::Child logger = testing::StartKzlogger({"--output", log});
  std::vector<std::string> expected;
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.name);
    bool ok = false;
    SendOutcome out = RunSender(c.send, {}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out.result, 1);
    EXPECT_LT(out.elapsedMs, 1500);  // the logger took it: no wait for the time-out
    expected.push_back(c.line);
  }
  EXPECT_EQ(testing::ReadLines(log), expected);
}

// The prompt text holds at most 244 characters of the record, so that with
// "\n\nContinue?" and its NUL it fits g_szFatalText; the log gets it all.
class FatalLengthTest : public LoggerSendTest, public ::testing::WithParamInterface<int> {};

TEST_P(FatalLengthTest, ThePromptTextNeverOverrunsItsBuffer) {
  testing::Child logger = testing::StartKzlogger({"--output", log});
  const std::string record = "F:" + std::string(static_cast<std::size_t>(GetParam() - 2), 'r');
  bool ok = false;
  SendOutcome out =
      RunSender([&] { return LoggerSendf(1, "F:", "%s", record.c_str() + 2); }, {}, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.result, 1);
  const std::string prompt = record.substr(0, 244) + "\n\nContinue?";
  EXPECT_EQ(std::string(out.fatalText), prompt);
  EXPECT_EQ(std::string(out.promptText), prompt);
  EXPECT_LE(std::strlen(out.fatalText), sizeof g_szFatalText - 1);
  EXPECT_EQ(testing::ReadLines(log), std::vector<std::string>{record});
}

// 244 characters fill the prompt text exactly: 244 + 11 + the NUL = 256.
INSTANTIATE_TEST_SUITE_P(Lengths, FatalLengthTest, ::testing::Values(3, 243, 244, 245, 1000),
                         [](const auto& p) { return "Length" + std::to_string(p.param); });

// Yes goes on; No breaks into the debugger, after the block is let go.
struct AnswerCase {
  const char* name;
  PromptAnswer answer;
  bool hookBreak;
  int breaks;
};
VELLUMAR_PRINT_AS_CASE_NAME(AnswerCase)

class FatalAnswerTest : public LoggerSendTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FatalAnswerTest, DecidesOnTheBreakAfterTheBlockIsFree) {
  const AnswerCase& c = GetParam();
  testing::Child logger = testing::StartKzlogger({"--output", log});
  SenderOptions options;
  options.answer = c.answer;
  options.hookBreak = c.hookBreak;
  bool ok = false;
  SendOutcome out = RunSender([] { return LoggerSendf(1, "", "%s", "fatal"); }, options, &ok);
  ASSERT_TRUE(ok) << "the sender did not survive its answer";
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.prompts, 1);
  EXPECT_EQ(out.breaks, c.breaks);
  if (c.breaks > 0) {
    EXPECT_TRUE(out.blockFreeAtBreak);
  }
  EXPECT_EQ(testing::ReadLines(log), std::vector<std::string>{"fatal"});
}

INSTANTIATE_TEST_SUITE_P(Answers, FatalAnswerTest,
                         ::testing::Values(AnswerCase{"Yes", PromptAnswer::yes, true, 0},
                                           AnswerCase{"No", PromptAnswer::no, true, 1},
                                           AnswerCase{"NoWithoutADebuggerGoesOn", PromptAnswer::no,
                                                      false, 0}),
                         testing::CaseName());

// A record longer than the block is cut to fit, with its NUL.
TEST_F(LoggerSendTest, ARecordLargerThanTheBlockIsCutToFit) {
  testing::Child logger = testing::StartKzlogger({"--output", log, "--block-size", "64"});
  const std::string prefix(20, 'p');
  const std::string text(200, 't');
  const std::string longPrefix(100, 'q');
  bool ok = false;
  EXPECT_EQ(
      RunSender([&] { return LoggerSendf(0, prefix.c_str(), "%s", text.c_str()); }, {}, &ok).result,
      1);
  EXPECT_EQ(
      RunSender([&] { return LoggerSendf(0, longPrefix.c_str(), "%s", "tail"); }, {}, &ok).result,
      1);
  const std::size_t room = 64 - kRecordOffset - 1;
  EXPECT_EQ(testing::ReadLines(log), (std::vector<std::string>{(prefix + text).substr(0, room),
                                                               longPrefix.substr(0, room)}));
}

TEST_F(LoggerSendTest, SendersAtOnceEachGetTheirWholeRecordInOnce) {
  testing::Child logger = testing::StartKzlogger({"--output", log});
  constexpr int kSenders = 6;
  constexpr int kRecords = 12;
  auto recordOf = [](int s, int r) {
    return "sender " + std::to_string(s) + " record " + std::to_string(r) + " " +
           std::string(static_cast<std::size_t>(5 + 37 * ((s + r) % 7)),
                       static_cast<char>('a' + s));
  };
  // Each sender reports every record's outcome in order: 1 not delivered,
  // 2 delivered.
  std::vector<testing::Child> senders;
  for (int s = 0; s < kSenders; ++s) {
    senders.push_back(testing::Child::Run([&, s](testing::ChildReport& report) {
      for (int r = 0; r < kRecords; ++r) {
        const bool delivered = LoggerSendf(0, "", "%s", recordOf(s, r).c_str()) == 1;
        report.WriteValue(static_cast<char>(delivered ? 2 : 1));
      }
    }));
  }
  for (testing::Child& sender : senders) EXPECT_EQ(sender.Wait(), 0);
  std::map<std::string, int> expected;
  int reported = 0;
  for (int s = 0; s < kSenders; ++s) {
    for (int r = 0; r < kRecords; ++r) {
      char outcome = 0;
      if (!senders[static_cast<std::size_t>(s)].ReadValue(outcome, 0)) break;
      reported += outcome != 0;
      if (outcome == 2) expected[recordOf(s, r)] = 0;
    }
  }
  EXPECT_EQ(reported, kSenders * kRecords);
  EXPECT_FALSE(expected.empty());
  for (const std::string& line : testing::ReadLines(log)) {
    auto found = expected.find(line);
    ASSERT_NE(found, expected.end()) << "not a whole record that was sent: " << line;
    ++found->second;
  }
  for (const auto& [record, count] : expected) EXPECT_EQ(count, 1) << record;
}

}  // namespace
}  // namespace vellumar::logger
