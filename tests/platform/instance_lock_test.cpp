// The instance lock between real processes.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include "support/child.h"
#include "support/private_namespace.h"
#include "support/waits.h"

namespace vellumar::platform {
namespace {

constexpr char kName[] = "TestInstance";

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
  testing::PrivateNamespace ns;
};

TEST_F(InstanceLockTest, KeepsASecondProcessOutUntilReleased) {
  InstanceLock held = InstanceLock::Acquire(kName);
  ASSERT_TRUE(held);
  EXPECT_EQ(testing::Child::Run(TryInChild).Wait(), 1);
  held.Release();
  EXPECT_EQ(testing::Child::Run(TryInChild).Wait(), 0);
}

TEST_F(InstanceLockTest, AKilledHolderKeepsNobodyOut) {
  // The holder says "y" once it holds the lock, then sleeps on.
  testing::Child holder = testing::Child::Run([](testing::ChildReport& report) {
    InstanceLock lock = InstanceLock::Acquire(kName);
    if (!lock) return 1;
    report.Write("y");
    testing::SleepMs(5 * 60 * 1000);
    return 0;
  });
  char holding = 'n';
  ASSERT_TRUE(holder.ReadValue(holding, 10000));
  ASSERT_EQ(holding, 'y');
  EXPECT_FALSE(InstanceLock::Acquire(kName));
  holder.Stop();  // killed while it holds the lock,
  holder.Wait();  // and collected
  EXPECT_TRUE(InstanceLock::Acquire(kName));
}

}  // namespace
}  // namespace vellumar::platform
