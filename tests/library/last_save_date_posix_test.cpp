// GetLastSaveDate on POSIX: flock(1) as the other holder of the save stamp,
// and descriptors counted in /proc/self/fd.
#include <gtest/gtest.h>

#include <string>

#include "library/info_file_fixture.h"
#include "support/file_seam.h"
#include "support/posix/posix_only.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using testing::CallText;
using testing::FileFailure;
using testing::FileOperation;
using testing::Outcome;
using testing::ScopedFileSeam;

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

// The query, plain and with every injected failure at every step, counted
// in the process's own descriptor table rather than by the seam: a failed
// close or status read has still let go of the descriptor.
TEST_F(StampPosixTest, NoQueryLeavesADescriptorOpen) {
  const int fdsBefore = testing::OpenHandleCount();
  EXPECT_EQ(CallText(GetLastSaveDate).kind, Outcome::answered);
  EXPECT_EQ(testing::OpenHandleCount(), fdsBefore);
  for (FileOperation operation :
       {FileOperation::open, FileOperation::status, FileOperation::read, FileOperation::close}) {
    for (FileFailure failure :
         {FileFailure::notFound, FileFailure::accessDenied, FileFailure::sharingViolation,
          FileFailure::tooManyOpenFiles, FileFailure::ioError}) {
      {
        ScopedFileSeam seam(operation, failure);
        CallText(GetLastSaveDate);
      }
      EXPECT_EQ(testing::OpenHandleCount(), fdsBefore)
          << testing::FileFaultName(operation, failure);
    }
  }
}

}  // namespace
}  // namespace vellumar
