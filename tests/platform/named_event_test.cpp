// Named events between real processes: the waiter is always another process
// than the one that sets the event.
#include "platform/named_event.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/shared_block.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/private_namespace.h"
#include "support/waits.h"

namespace vellumar::platform {
namespace {

using testing::Child;
using testing::NowMs;
using testing::SleepMs;

constexpr char kName[] = "TestEvent";

// A child that opens the event, waits on it and exits 0 when signalled, 1
// on a timeout, 2 when the event could not be opened.
int WaitInChild(std::uint32_t timeoutMs) {
  NamedEvent event = NamedEvent::Open(kName);
  if (!event) return 2;
  return event.Wait(timeoutMs) == WaitResult::signalled ? 0 : 1;
}

class NamedEventTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
  ~NamedEventTest() override { NamedEvent::Remove(kName); }
};

TEST_F(NamedEventTest, OpenFindsOnlyAnExistingEventOfTheUser) {
  EXPECT_FALSE(NamedEvent::Open(kName));
  NamedEvent created = NamedEvent::Create(kName, EventReset::manual, false);
  ASSERT_TRUE(created);
  EXPECT_TRUE(NamedEvent::Open(kName));
  EXPECT_TRUE(NamedEvent::Remove(kName));
  EXPECT_FALSE(NamedEvent::Open(kName));
  // A removed event goes on working for those that hold it.
  created.Set();
  EXPECT_EQ(created.Wait(0), WaitResult::signalled);
}

TEST_F(NamedEventTest, ABlockOfAnotherSizeIsNoEvent) {
  for (std::size_t size : {std::size_t{1}, std::size_t{64}, std::size_t{8192}}) {
    SharedMapping block = SharedMapping::Create(kName, size);
    ASSERT_TRUE(block);
    EXPECT_FALSE(NamedEvent::Open(kName)) << size << " bytes";
  }
}

TEST_F(NamedEventTest, SetWakesAWaiterInAnotherProcess) {
  NamedEvent event = NamedEvent::Create(kName, EventReset::automatic, false);
  ASSERT_TRUE(event);
  std::int64_t start = NowMs();
  Child waiter = Child::Run([] { return WaitInChild(5000); });
  SleepMs(100);
  event.Set();
  EXPECT_EQ(waiter.Wait(), 0);
  EXPECT_LT(NowMs() - start, 2000);
}

TEST_F(NamedEventTest, WaitGivesUpAfterItsTimeout) {
  NamedEvent event = NamedEvent::Create(kName, EventReset::automatic, false);
  ASSERT_TRUE(event);
  std::int64_t start = NowMs();
  Child waiter = Child::Run([] { return WaitInChild(300); });
  EXPECT_EQ(waiter.Wait(), 1);
  std::int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 300);
  EXPECT_LT(elapsed, 1500);
  EXPECT_EQ(event.Wait(0), WaitResult::timeout);
}

// Two processes wait on one event; how many pass after each Set tells the
// reset mode apart.
struct ResetCase {
  const char* name;
  EventReset reset;
  int passAfterFirstSet;
  bool signalledAfterwards;
};
VELLUMAR_PRINT_AS_CASE_NAME(ResetCase)

class ResetModeTest : public NamedEventTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetModeTest, DecidesHowManyWaitersOneSetReleases) {
  const ResetCase& c = GetParam();
  NamedEvent event = NamedEvent::Create(kName, c.reset, false);
  ASSERT_TRUE(event);
  Child first = Child::Run([] { return WaitInChild(800); });
  Child second = Child::Run([] { return WaitInChild(800); });
  SleepMs(150);
  event.Set();
  int passed = (first.Wait() == 0) + (second.Wait() == 0);
  EXPECT_EQ(passed, c.passAfterFirstSet);
  EXPECT_EQ(event.Wait(0) == WaitResult::signalled, c.signalledAfterwards);
}

INSTANTIATE_TEST_SUITE_P(Modes, ResetModeTest,
                         ::testing::Values(ResetCase{"automatic", EventReset::automatic, 1, false},
                                           ResetCase{"manual", EventReset::manual, 2, true}),
                         testing::CaseName());

TEST_F(NamedEventTest, ResetClearsAManualEventForEveryProcess) {
  NamedEvent event = NamedEvent::Create(kName, EventReset::manual, true);
  ASSERT_TRUE(event);
  EXPECT_EQ(Child::Run([] { return WaitInChild(0); }).Wait(), 0);
  event.Reset();
  EXPECT_EQ(Child::Run([] { return WaitInChild(100); }).Wait(), 1);
}

TEST_F(NamedEventTest, CreateReplacesAnEventLeftByADeadCreator) {
  // The first creator dies holding a signalled event.
  Child creator = Child::Run([] {
    NamedEvent event = NamedEvent::Create(kName, EventReset::manual, true);
    return event ? 0 : 1;
  });
  ASSERT_EQ(creator.Wait(), 0);
  ASSERT_EQ(Child::Run([] { return WaitInChild(0); }).Wait(), 0);

  NamedEvent fresh = NamedEvent::Create(kName, EventReset::automatic, false);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(Child::Run([] { return WaitInChild(100); }).Wait(), 1);
  fresh.Set();
  EXPECT_EQ(Child::Run([] { return WaitInChild(100); }).Wait(), 0);
}

TEST_F(NamedEventTest, AWaiterThatDiesLeavesTheEventUsable) {
  NamedEvent event = NamedEvent::Create(kName, EventReset::automatic, false);
  ASSERT_TRUE(event);
  {
    Child doomed = Child::Run([] { return WaitInChild(10000); });
    SleepMs(100);
  }  // killed while it sleeps in the wait
  Child waiter = Child::Run([] { return WaitInChild(3000); });
  SleepMs(100);
  event.Set();
  EXPECT_EQ(waiter.Wait(), 0);
}

}  // namespace
}  // namespace vellumar::platform
