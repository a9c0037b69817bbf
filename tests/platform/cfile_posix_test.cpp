// The file object on POSIX: what only a POSIX system can put in a data
// file's place.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/cfile.h"
#include "support/case_name.h"
#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

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

}  // namespace
}  // namespace vellumar::platform
