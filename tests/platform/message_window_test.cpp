// Message windows between real processes: one process owns the window, the
// other asks whether it exists and posts messages to it.
#include "platform/message_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "platform/shared_block.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::platform {
namespace {

using testing::NowMs;

// A window owned by a forked child, which reports its handle, then every
// message it takes, in a shared block, until its time runs out or it is
// killed.
class ChildWindow {
 public:
  explicit ChildWindow(int lifetimeMs) {
    m_table = SharedMapping::Create(kReportName, sizeof(Report));
    m_view = m_table.MapView();
    EXPECT_TRUE(m_view);
    m_owner.emplace([lifetimeMs] {
      SharedView view = SharedMapping::Open(kReportName, BlockAccess::write).MapView();
      if (!view) return 1;
      Report& report = *static_cast<Report*>(view.data());
      MessageWindow window = MessageWindow::Create();
      std::atomic_ref<WindowHandle>(report.handle).store(window.handle());
      std::int64_t end = NowMs() + lifetimeMs;
      WindowMessage message;
      while (NowMs() < end) {
        const std::uint32_t taken = std::atomic_ref<std::uint32_t>(report.taken).load();
        if (taken < kMaxMessages && window.Receive(message, 50) == ReceiveResult::message) {
          report.messages[taken] = message;
          std::atomic_ref<std::uint32_t>(report.taken).store(taken + 1);
        }
      }
      return 0;
    });
    testing::WaitUntil([this] { return handle() != 0; }, 5000);
  }
  ~ChildWindow() { SharedMapping::Remove(kReportName); }
  WindowHandle handle() const { return std::atomic_ref<WindowHandle>(report().handle).load(); }
  // The next message the owner took, waiting for it a while.
  bool NextMessage(WindowMessage& out) {
    if (!testing::WaitUntil(
            [this] { return std::atomic_ref<std::uint32_t>(report().taken).load() > m_read; },
            5000)) {
      return false;
    }
    out = report().messages[m_read++];
    return true;
  }
  // Kills the owner, which closes nothing itself.
  void Stop() { m_owner.reset(); }

 private:
  static constexpr char kReportName[] = "TestWindowReport";
  static constexpr std::uint32_t kMaxMessages = 16;
  struct Report {
    WindowHandle handle;
    std::uint32_t taken;
    WindowMessage messages[kMaxMessages];
  };
  Report& report() const { return *static_cast<Report*>(m_view.data()); }

  SharedMapping m_table;
  SharedView m_view;
  std::optional<testing::ForkedChild> m_owner;
  std::uint32_t m_read = 0;
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
  testing::ForkedChild sender([handle] {
    for (int i = 0; i < 2000; ++i) NotifyWindow(handle, WindowMessage{0xC001, 0, 0});
    return 0;
  });
  EXPECT_EQ(sender.Wait(), 0);
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
    testing::ScopedEnv elsewhere("VELLUMAR_NAMESPACE", "some-other-namespace");
    char exists = WindowExists(handle) ? 'y' : 'n';
    testing::WriteReport(report, &exists, 1);
  });
  EXPECT_EQ(other.report, "n");
}

}  // namespace
}  // namespace vellumar::platform
