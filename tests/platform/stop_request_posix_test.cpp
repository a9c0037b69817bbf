// Stop requests are the stop signals, held for the program once it watches
// them: the process survives the signal, sees the request, and a wait at
// its message window returns with it. Each case runs in a child process,
// whose signal mask the watch changes for good.
#include "platform/stop_request.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/message_window.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/private_namespace.h"
#include "support/waits.h"

namespace vellumar::platform {
namespace {

using testing::NowMs;

struct SignalCase {
  const char* name;
  int signal;
};
VELLUMAR_PRINT_AS_CASE_NAME(SignalCase)

const SignalCase kStopSignals[] = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};

class StopRequestTest : public ::testing::TestWithParam<SignalCase> {
 protected:
  testing::PrivateNamespace ns;
};

TEST_P(StopRequestTest, IsHeldForTheProgramAndSeenWithoutTakingItAway) {
  const int sig = GetParam().signal;
  testing::ProcessResult child = testing::RunInChild([sig](testing::ChildReport& report) {
    StopRequest stop = StopRequest::Watch();
    std::string seen = stop ? "watching" : "not watching";
    seen += stop.Requested() ? " requested" : " quiet";
    ::raise(sig);  // would end the process if it were not held
    seen += stop.Requested() ? " requested" : " quiet";
    seen += stop.Requested() ? " still" : " gone";
    report.Write(seen);
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "watching quiet requested still");
}

TEST_P(StopRequestTest, EndsAWindowsEndlessWaitWhenItComesFromAnotherProcess) {
  const int sig = GetParam().signal;
  testing::ProcessResult child = testing::RunInChild([sig](testing::ChildReport& report) {
    StopRequest stop = StopRequest::Watch();
    MessageWindow window = MessageWindow::Create();
    const pid_t self = ::getpid();
    testing::Child sender = testing::Child::Run([self, sig] {
      testing::SleepMs(150);
      return ::kill(self, sig) == 0 ? 0 : 1;
    });
    const std::int64_t start = NowMs();
    WindowMessage message{};
    const ReceiveResult result = window.Receive(message, kWaitForever, &stop);
    const std::int64_t elapsed = NowMs() - start;
    std::string seen = result == ReceiveResult::stopRequested ? "stop" : "other";
    seen += sender.Wait() == 0 && elapsed >= 100 && elapsed < 3000 ? " in time" : " late";
    report.Write(seen);
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "stop in time");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopRequestTest, ::testing::ValuesIn(kStopSignals),
                         testing::CaseName());

TEST(StopRequestWaitTest, AStopRequestWinsOverMessagesThatWait) {
  testing::PrivateNamespace ns;
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    StopRequest stop = StopRequest::Watch();
    MessageWindow window = MessageWindow::Create();
    WindowMessage message{};
    std::string seen;
    NotifyWindow(window.handle(), WindowMessage{0xC001, 1, 2});
    // Watched but not requested: the message comes, and then the time-out.
    seen += window.Receive(message, 1000, &stop) == ReceiveResult::message ? "message" : "?";
    seen += window.Receive(message, 50, &stop) == ReceiveResult::timeout ? " timeout" : " ?";
    NotifyWindow(window.handle(), WindowMessage{0xC001, 3, 4});
    ::raise(SIGTERM);
    seen += window.Receive(message, 1000, &stop) == ReceiveResult::stopRequested ? " stop" : " ?";
    // Without the watch the same wait takes the message that is still there.
    seen += window.Receive(message, 1000) == ReceiveResult::message && message.wParam == 3
                ? " message"
                : " ?";
    report.Write(seen);
  });
  EXPECT_EQ(child.out, "message timeout stop message");
}

}  // namespace
}  // namespace vellumar::platform
