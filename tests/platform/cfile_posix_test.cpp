// The file object on POSIX: what only a POSIX system can put in a data
// file's place, and descriptors counted in /proc/self/fd.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/cfile.h"
#include "support/case_name.h"
#include "support/file_seam.h"
#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

using testing::ScopedFileSeam;

// Something other than a regular file where the data file should be: the
// open fails at once (nothing waits for a FIFO's writer), with the cause and
// error number that the open reports for it.
struct NotAFileCase {
  const char* name;
  bool (*prepare)(const std::string& path);
  long osError;
};
VELLUMAR_PRINT_AS_CASE_NAME(NotAFileCase)

const NotAFileCase kNotAFile[] = {
    {"Directory", [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0; }, EISDIR},
    {"Fifo", [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, ENXIO},
    {"Device", [](const std::string& p) { return ::symlink("/dev/null", p.c_str()) == 0; }, ENXIO},
};

class CFileNotAFileTest : public ::testing::TestWithParam<NotAFileCase> {
 protected:
  testing::TempDir dir_;
};

TEST_P(CFileNotAFileTest, IsRefusedAtTheOpenAsAccessDenied) {
  const std::string path = dir_ / "data.bin";
  ASSERT_TRUE(GetParam().prepare(path));
  const int before = testing::OpenHandleCount();
  CFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);
  EXPECT_EQ(error.m_lOsError, GetParam().osError);
  EXPECT_EQ(testing::OpenHandleCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CFileNotAFileTest, ::testing::ValuesIn(kNotAFile),
                         testing::CaseName());

class CFilePosixTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(path_, {1, 2, 3, 4, 5}); }
  testing::TempDir dir_;
  std::string path_ = dir_ / "data.bin";
};

TEST_F(CFilePosixTest, ReleaseClosesTheDescriptor) {
  const int before = testing::OpenHandleCount();
  {
    CFile file(path_.c_str(), CFile::modeRead);
    EXPECT_EQ(testing::OpenHandleCount(), before + 1);
  }
  EXPECT_EQ(testing::OpenHandleCount(), before);
}

// Every injected failure at every step, counted in the process's own
// descriptor table rather than by the seam: a sharing violation closes the
// descriptor that the open got, a failed close has closed it.
TEST_F(CFilePosixTest, NoFaultLeavesADescriptorOpen) {
  using test::FileOperation;
  for (FileOperation operation :
       {FileOperation::open, FileOperation::status, FileOperation::read, FileOperation::close}) {
    for (FileFailure failure :
         {FileFailure::notFound, FileFailure::accessDenied, FileFailure::sharingViolation,
          FileFailure::tooManyOpenFiles, FileFailure::ioError}) {
      const int before = testing::OpenHandleCount();
      {
        ScopedFileSeam seam(operation, failure);
        CFile file;
        if (file.Open(path_.c_str(), CFile::modeRead)) {
          unsigned char b = 0;
          try {
            file.Read(&b, 1);
            file.Close();
          } catch (const CFileException&) {
          }
        }
      }
      EXPECT_EQ(testing::OpenHandleCount(), before) << testing::FileFaultName(operation, failure);
    }
  }
}

}  // namespace
}  // namespace vellumar::platform
