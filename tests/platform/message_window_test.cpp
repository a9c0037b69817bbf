// Message windows between real processes: one process owns the window, the
// other asks whether it exists and posts messages to it.
#include "platform/message_window.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::platform {
namespace {

using testing::NowMs;

// A window owned by a forked child, which reports its handle, then every
// message it takes, until told to stop or its time runs out.
class ChildWindow {
 public:
  explicit ChildWindow(int lifetimeMs) {
    int toParent[2];
    EXPECT_EQ(::pipe(toParent), 0);
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(toParent[0]);
      MessageWindow window = MessageWindow::Create();
      WindowHandle handle = window.handle();
      testing::WriteReport(toParent[1], &handle, sizeof handle);
      std::int64_t end = NowMs() + lifetimeMs;
      WindowMessage message;
      while (NowMs() < end) {
        if (window.Receive(message, 50) == ReceiveResult::message) {
          testing::WriteReport(toParent[1], &message, sizeof message);
        }
      }
      ::_exit(0);
    }
    ::close(toParent[1]);
    m_fromChild = toParent[0];
    EXPECT_EQ(::read(m_fromChild, &m_handle, sizeof m_handle),
              static_cast<ssize_t>(sizeof m_handle));
  }
  ~ChildWindow() {
    Stop();
    ::close(m_fromChild);
  }
  WindowHandle handle() const { return m_handle; }
  bool NextMessage(WindowMessage& out) {
    return ::read(m_fromChild, &out, sizeof out) == static_cast<ssize_t>(sizeof out);
  }
  void Stop() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
      m_pid = -1;
    }
  }

 private:
  pid_t m_pid = -1;
  int m_fromChild = -1;
  WindowHandle m_handle = 0;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  testing::LoggerNamespace ns;
};

TEST_F(MessageWindowTest, ExistsExactlyWhileItsOwnerHoldsIt) {
  ChildWindow owner(10000);
  ASSERT_NE(owner.handle(), 0u);
  EXPECT_TRUE(WindowExists(owner.handle()));
  EXPECT_FALSE(WindowExists(owner.handle() ^ 1u));
  EXPECT_FALSE(WindowExists(0));
  owner.Stop();  // the owner dies without closing anything
  EXPECT_FALSE(WindowExists(owner.handle()));
}

TEST_F(MessageWindowTest, DeliversTheMessageWithItsParameters) {
  ChildWindow owner(10000);
  NotifyWindow(owner.handle(), WindowMessage{0xC123, 7, 0xFFFFFFFF});
  WindowMessage got{};
  ASSERT_TRUE(owner.NextMessage(got));
  EXPECT_EQ(got.message, 0xC123u);
  EXPECT_EQ(got.wParam, 7u);
  EXPECT_EQ(got.lParam, 0xFFFFFFFFu);
}

TEST_F(MessageWindowTest, NotifyNeverWaitsForTheOwner) {
  // The owner never reads: its queue fills, and further posts are dropped
  // instead of blocking the sender.
  MessageWindow deaf = MessageWindow::Create();
  ASSERT_TRUE(deaf);
  const WindowHandle handle = deaf.handle();
  std::int64_t start = NowMs();
  pid_t sender = ::fork();
  if (sender == 0) {
    for (int i = 0; i < 2000; ++i) NotifyWindow(handle, WindowMessage{0xC001, 0, 0});
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(sender, &status, 0), sender);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_LT(NowMs() - start, 3000);
  WindowMessage got{};
  EXPECT_EQ(deaf.Receive(got, 0), ReceiveResult::message);
}

TEST_F(MessageWindowTest, NotifyToAWindowThatIsGoneDoesNothing) {
  MessageWindow window = MessageWindow::Create();
  const WindowHandle handle = window.handle();
  window.Close();
  std::int64_t start = NowMs();
  NotifyWindow(handle, WindowMessage{0xC001, 0, 0});
  EXPECT_LT(NowMs() - start, 500);
  EXPECT_FALSE(WindowExists(handle));
}

TEST_F(MessageWindowTest, ReceiveTimesOutWhenNothingComes) {
  MessageWindow window = MessageWindow::Create();
  ASSERT_TRUE(window);
  WindowMessage got{};
  std::int64_t start = NowMs();
  EXPECT_EQ(window.Receive(got, 150), ReceiveResult::timeout);
  std::int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 150);
  EXPECT_LT(elapsed, 1000);
}

TEST_F(MessageWindowTest, HandlesAreDistinctAndLiveInTheirNamespace) {
  MessageWindow a = MessageWindow::Create();
  MessageWindow b = MessageWindow::Create();
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  EXPECT_NE(a.handle(), b.handle());
  EXPECT_NE(a.handle(), 0u);
  const WindowHandle handle = a.handle();
  // The same handle, asked about from another namespace, is no window.
  testing::ChildResult other = testing::RunInChild([handle](int report) {
    ::setenv("VELLUMAR_NAMESPACE", "some-other-namespace", 1);
    char exists = WindowExists(handle) ? 'y' : 'n';
    testing::WriteReport(report, &exists, 1);
  });
  EXPECT_EQ(other.report, "n");
}

}  // namespace
}  // namespace vellumar::platform
