// The instance lock between real processes.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "support/logger_exchange.h"
#include "support/processes.h"

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
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  testing::ForkedChild holder([&] {
    InstanceLock lock = InstanceLock::Acquire(kName);
    char c = lock ? 'y' : 'n';
    testing::WriteReport(ready[1], &c, 1);
    ::pause();
    return 0;
  });
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_FALSE(InstanceLock::Acquire(kName));
  ::kill(holder.pid(), SIGKILL);
  holder.Wait();
  EXPECT_TRUE(InstanceLock::Acquire(kName));
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace vellumar::platform
