// The fatal prompt, asked of a real terminal: a child process runs in a
// session of its own whose controlling terminal is a pseudo-terminal that
// the test plays the user on.
#include "platform/fatal_prompt.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/case_name.h"
#include "support/processes.h"

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
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_GE(master, 0);
  EXPECT_EQ(::grantpt(master), 0);
  EXPECT_EQ(::unlockpt(master), 0);
  std::string slave = ::ptsname(master);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(master);
    ::signal(SIGHUP, SIG_IGN);  // a hang-up must answer, not end the process
    ::setsid();
    int tty = ::open(slave.c_str(), O_RDWR);  // becomes the controlling terminal
    if (tty < 0) ::_exit(2);
    PromptAnswer a = ShowFatalPrompt("Internal Error", text);
    ::_exit(a == PromptAnswer::yes ? kYes : kNo);
  }
  // Read until the choice is on screen, then answer.
  std::int64_t deadline = NowMs() + 5000;
  while (run.shown.find("[y/N] ") == std::string::npos && NowMs() < deadline) {
    pollfd p{master, POLLIN, 100};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[512];
    ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    run.shown.append(buffer, static_cast<std::size_t>(n));
  }
  if (hangUp) {
    ::close(master);
    master = -1;
  } else {
    EXPECT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  }
  int status = 0;
  std::int64_t waitEnd = NowMs() + 5000;
  while (::waitpid(child, &status, WNOHANG) == 0 && NowMs() < waitEnd) ::usleep(2000);
  if (::kill(child, 0) == 0 && ::waitpid(child, &status, WNOHANG) == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
  }
  if (master >= 0) ::close(master);
  run.answer = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  testing::ChildResult r = testing::RunInChild([](int report) {
    ::setsid();  // no controlling terminal any more
    std::int64_t start = NowMs();
    PromptAnswer a = ShowFatalPrompt("Internal Error", "text");
    std::string out = (a == PromptAnswer::no ? "no " : "yes ") + std::to_string(NowMs() - start);
    testing::WriteReport(report, out.data(), out.size());
  });
  ASSERT_EQ(r.report.substr(0, 3), "no ");
  EXPECT_LT(std::stol(r.report.substr(3)), 500);
}

PromptAnswer AnswerYes(const char*, const char*) { return PromptAnswer::yes; }

TEST(FatalPromptTest, TheHookAnswersInPlaceOfTheUserUntilRemoved) {
  testing::ChildResult r = testing::RunInChild([](int report) {
    ::setsid();
    test::PromptHook previous = test::SetFatalPromptHook(AnswerYes);
    char hooked = ShowFatalPrompt("c", "t") == PromptAnswer::yes ? 'y' : 'n';
    test::SetFatalPromptHook(previous);
    char restored = ShowFatalPrompt("c", "t") == PromptAnswer::yes ? 'y' : 'n';
    char out[2] = {hooked, restored};
    testing::WriteReport(report, out, sizeof out);
  });
  EXPECT_EQ(r.report, "yn");
}

}  // namespace
}  // namespace vellumar::platform
