// The fatal prompt, asked of a real terminal: a child process runs in a
// session of its own whose controlling terminal is a pseudo-terminal that
// the test plays the user on.
#include "platform/fatal_prompt.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "support/case_name.h"
#include "support/child.h"
#include "support/posix/posix_only.h"
#include "support/waits.h"

namespace vellumar::platform {
namespace {

using testing::NowMs;

constexpr int kYes = 10;
constexpr int kNo = 11;

// Runs the prompt in a child whose controlling terminal is a new pty, types
// `typed` once the question is shown (or hangs up when `hangUp`), and
// returns what the terminal showed and the answer.
struct PromptRun {
  std::string shown;
  int answer = -1;
};

PromptRun AskOnTerminal(const char* text, const std::string& typed, bool hangUp = false) {
  PromptRun run;
  testing::posix::PseudoTerminal terminal;
  EXPECT_TRUE(terminal.opened());
  testing::Child child = testing::Child::Run(
      [&terminal, text] {
        ::signal(SIGHUP, SIG_IGN);  // a hang-up must answer, not end the process
        if (!terminal.BecomeControllingTerminal()) return 2;
        return ShowFatalPrompt("Internal Error", text) == PromptAnswer::yes ? kYes : kNo;
      },
      {.newSession = true});
  // Read until the choice is on screen, then answer.
  run.shown = terminal.ShowUntil("[y/N] ", 5000);
  if (hangUp) {
    terminal.HangUp();
  } else {
    EXPECT_TRUE(terminal.Type(typed));
  }
  run.answer = child.Wait(5000);
  return run;
}

struct AnswerCase {
  const char* name;
  const char* typed;
  int expected;
};
VELLUMAR_PRINT_AS_CASE_NAME(AnswerCase)

class FatalPromptAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(FatalPromptAnswerTest, OnlyAClearYesAnswersYes) {
  PromptRun run = AskOnTerminal("disk on fire\n\nContinue?", GetParam().typed);
  EXPECT_EQ(run.answer, GetParam().expected);
  EXPECT_NE(run.shown.find("Internal Error"), std::string::npos) << run.shown;
  EXPECT_NE(run.shown.find("disk on fire"), std::string::npos) << run.shown;
  EXPECT_NE(run.shown.find("Continue? [y/N] "), std::string::npos) << run.shown;
}

INSTANTIATE_TEST_SUITE_P(Answers, FatalPromptAnswerTest,
                         ::testing::Values(AnswerCase{"y", "y\n", kYes},
                                           AnswerCase{"Yes", "Yes\n", kYes},
                                           AnswerCase{"BlanksThenY", "  y\n", kYes},
                                           AnswerCase{"n", "n\n", kNo},
                                           AnswerCase{"EmptyLineIsTheDefault", "\n", kNo},
                                           AnswerCase{"Other", "maybe\n", kNo}),
                         testing::CaseName());

TEST(FatalPromptTest, AHungUpTerminalAnswersNo) {
  PromptRun run = AskOnTerminal("text\n\nContinue?", "", /*hangUp=*/true);
  EXPECT_EQ(run.answer, kNo);
}

TEST(FatalPromptTest, ControlCharactersDoNotReachTheTerminal) {
  PromptRun run = AskOnTerminal("a\x1b[2Jb\x07\n\nContinue?", "n\n");
  EXPECT_EQ(run.shown.find('\x1b'), std::string::npos);
  EXPECT_EQ(run.shown.find('\x07'), std::string::npos);
  EXPECT_NE(run.shown.find("a?[2Jb?"), std::string::npos) << run.shown;
}

TEST(FatalPromptTest, WithoutATerminalTheAnswerIsNoAtOnce) {
  // In a session of its own, with no controlling terminal.
  testing::ProcessResult r = testing::RunInChild(
      [](testing::ChildReport& report) {
        std::int64_t start = NowMs();
        PromptAnswer a = ShowFatalPrompt("Internal Error", "text");
        report.Write((a == PromptAnswer::no ? "no " : "yes ") + std::to_string(NowMs() - start));
      },
      {.newSession = true});
  ASSERT_EQ(r.out.substr(0, 3), "no ");
  EXPECT_LT(std::stol(r.out.substr(3)), 500);
}

PromptAnswer AnswerYes(const char*, const char*) { return PromptAnswer::yes; }

TEST(FatalPromptTest, TheHookAnswersInPlaceOfTheUserUntilRemoved) {
  testing::ProcessResult r = testing::RunInChild(
      [](testing::ChildReport& report) {
        test::PromptHook previous = test::SetFatalPromptHook(AnswerYes);
        report.Write(ShowFatalPrompt("c", "t") == PromptAnswer::yes ? "y" : "n");
        test::SetFatalPromptHook(previous);
        report.Write(ShowFatalPrompt("c", "t") == PromptAnswer::yes ? "y" : "n");
      },
      {.newSession = true});
  EXPECT_EQ(r.out, "yn");
}

}  // namespace
}  // namespace vellumar::platform
