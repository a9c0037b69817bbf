// The instance lock between real processes.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "platform/named_event.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::platform {
namespace {

constexpr char kName[] = "TestInstance";
constexpr char kHolding[] = "TestInstanceHolding";

// 0 when the child got the lock, 1 when another holds it, 2 otherwise; the
// result must agree with the object.
int TryInChild() {
  LockResult result = LockResult::failed;
  InstanceLock lock = InstanceLock::Acquire(kName, &result);
  if (static_cast<bool>(lock) != (result == LockResult::acquired)) return 3;
  if (lock) return 0;
  return result == LockResult::heldByAnother ? 1 : 2;
}

class InstanceLockTest : public ::testing::Test {
 protected:
  testing::LoggerNamespace ns;
};

TEST_F(InstanceLockTest, KeepsASecondProcessOutUntilReleased) {
  InstanceLock held = InstanceLock::Acquire(kName);
  ASSERT_TRUE(held);
  EXPECT_EQ(testing::ForkedChild(TryInChild).Wait(), 1);
  held.Release();
  EXPECT_EQ(testing::ForkedChild(TryInChild).Wait(), 0);
}

TEST_F(InstanceLockTest, AKilledHolderKeepsNobodyOut) {
  NamedEvent holding = NamedEvent::Create(kHolding, EventReset::manual, false);
  ASSERT_TRUE(holding);
  std::optional<testing::ForkedChild> holder;
  holder.emplace([] {
    InstanceLock lock = InstanceLock::Acquire(kName);
    if (!lock) return 1;
    NamedEvent::Open(kHolding).Set();
    std::this_thread::sleep_for(std::chrono::minutes(5));
    return 0;
  });
  ASSERT_EQ(holding.Wait(10000), WaitResult::signalled);
  EXPECT_FALSE(InstanceLock::Acquire(kName));
  holder.reset();  // killed while it holds the lock, and reaped
  EXPECT_TRUE(InstanceLock::Acquire(kName));
}

}  // namespace
}  // namespace vellumar::platform
