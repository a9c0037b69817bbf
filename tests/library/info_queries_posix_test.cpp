// The information-file queries on POSIX: a FIFO or device in the file's
// place, and flock(1) as the other holder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "library/info_file_fixture.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/file_seam.h"
#include "support/posix/posix_only.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using testing::CallText;
using testing::InfoFile;
using testing::Outcome;
using testing::ScopedFileSeam;

class InfoFilePosixTest : public testing::InfoFileTest {};

// Only a regular file opens: anything else fails at once, rather than wait
// for a FIFO's writer, and leaves no descriptor behind.
struct NotAFileCase {
  const char* name;
  bool (*prepare)(const std::string& infoPath);
};
VELLUMAR_PRINT_AS_CASE_NAME(NotAFileCase)

const NotAFileCase kNotAFile[] = {
    {"FifoInItsPlace", [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; }},
    {"DeviceInItsPlace",
     [](const std::string& p) { return ::symlink("/dev/zero", p.c_str()) == 0; }},
};

class InfoNotAFileTest : public InfoFilePosixTest,
                         public ::testing::WithParamInterface<NotAFileCase> {};

TEST_P(InfoNotAFileTest, FailsAtTheOpenAsAccessDenied) {
  if (!GetParam().prepare(InfoPath())) GTEST_SKIP() << "cannot be set up here";
  const int fdsBefore = testing::OpenHandleCount();
  Answers a = AskAll();
  EXPECT_EQ(a.str, Outcome::File(CFileException::accessDenied));
  EXPECT_EQ(a.ints, Outcome::File(CFileException::accessDenied));
  EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(testing::OpenHandleCount(), fdsBefore);
}

INSTANTIATE_TEST_SUITE_P(Kinds, InfoNotAFileTest, ::testing::ValuesIn(kNotAFile),
                         testing::CaseName());

TEST_F(InfoFilePosixTest, FileHeldByAnotherProcessFailsEveryQuery) {
  WriteInfo(InfoFile(2008, 3));
  {
    testing::posix::FlockHolder holder(InfoPath());
    ASSERT_TRUE(holder.held());
    Answers a = AskAll();
    EXPECT_EQ(a.str, Outcome::File(CFileException::sharingViolation));
    EXPECT_EQ(a.ints, Outcome::File(CFileException::sharingViolation));
    EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
    EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
  }
  EXPECT_EQ(CallText(GetOSVer), Outcome::Answer("Windows NT")) << "nothing is left behind";
}

TEST_F(InfoFilePosixTest, WhileAQueryHoldsTheFileNoOtherProcessCanTakeIt) {
  WriteInfo(InfoFile(2008, 3));
  ScopedFileSeam seam;
  int otherExit = -1;
  seam.BeforeRead([&](platform::FileHandle) {
    otherExit =
        testing::RunProgram({"flock", "--exclusive", "--nonblock", InfoPath(), "true"}).exitCode;
  });
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer("Pelorin Version 7.0"));
  EXPECT_EQ(otherExit, 1) << "a second process took the file while the query held it";
}

}  // namespace
}  // namespace vellumar
