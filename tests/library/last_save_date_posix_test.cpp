// GetLastSaveDate on POSIX: flock(1) as the other holder of the save stamp.
#include <gtest/gtest.h>

#include <string>

#include "library/info_file_fixture.h"
#include "support/posix/posix_only.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using testing::CallText;
using testing::Outcome;

// A fresh application directory holding a save stamp.
class StampPosixTest : public testing::InfoFileTest {
 protected:
  void SetUp() override {
    InfoFileTest::SetUp();
    testing::WriteText(StampPath(), "stamp");
  }
  std::string StampPath() const { return dir_ / "app.ver"; }
};

// Another process holding the file (flock(1), as any program taking a flock
// on it) makes the open fail; once it lets go, the query answers as before.
TEST_F(StampPosixTest, FileHeldByAnotherProcessRaises2564) {
  const Outcome before = CallText(GetLastSaveDate);
  ASSERT_EQ(before.kind, Outcome::answered) << before;
  {
    testing::posix::FlockHolder holder(StampPath());
    if (!holder.Started()) GTEST_SKIP() << "flock(1) cannot be run";
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(CallText(GetLastSaveDate), Outcome::Script(ERR_STAMP_OPEN));
    EXPECT_EQ(holder.Release(), 0);
  }
  EXPECT_EQ(CallText(GetLastSaveDate), before);
}

}  // namespace
}  // namespace vellumar
