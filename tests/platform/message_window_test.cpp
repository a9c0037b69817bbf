// Message windows between real processes: one process owns the window, the
// other asks whether it exists and posts messages to it.
#include "platform/message_window.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "support/child.h"
#include "support/private_namespace.h"
#include "support/waits.h"

namespace vellumar::platform {
namespace {

using testing::NowMs;

// A window owned by a child process, which reports its handle, then every
// message it takes, until its time runs out or it is killed.
class ChildWindow {
 public:
  explicit ChildWindow(int lifetimeMs)
      : m_owner(testing::Child::Run([lifetimeMs](testing::ChildReport& report) {
          MessageWindow window = MessageWindow::Create();
          report.WriteValue(window.handle());
          const std::int64_t end = NowMs() + lifetimeMs;
          WindowMessage message;
          while (NowMs() < end) {
            if (window.Receive(message, 50) == ReceiveResult::message) report.WriteValue(message);
          }
        })) {
    if (!m_owner.ReadValue(m_handle, 5000)) m_handle = 0;
  }
  WindowHandle handle() const { return m_handle; }
  // The next message the owner took, waiting for it a while.
  bool NextMessage(WindowMessage& out) { return m_owner.ReadValue(out, 5000); }
  // Kills the owner, which closes nothing itself, and waits until it is gone.
  void Stop() {
    m_owner.Stop();
    m_owner.Wait();
  }

 private:
  testing::Child m_owner;
  WindowHandle m_handle = 0;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
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
  EXPECT_EQ(testing::Child::Run([handle] {
              for (int i = 0; i < 2000; ++i) NotifyWindow(handle, WindowMessage{0xC001, 0, 0});
            }).Wait(),
            0);
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
  testing::ProcessResult other = testing::RunInChild(
      [handle](testing::ChildReport& report) { report.Write(WindowExists(handle) ? "y" : "n"); },
      {.environment = {"VELLUMAR_NAMESPACE=some-other-namespace"}});
  EXPECT_EQ(other.out, "n");
}

}  // namespace
}  // namespace vellumar::platform
