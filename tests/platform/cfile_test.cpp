// The file object's positioning, reads and path handling.
#include "platform/cfile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace vellumar::platform {
namespace {

class CFileTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(path_, {1, 2, 3, 4, 5}); }
  testing::TempDir dir_;
  std::string path_ = dir_ / "data.bin";
};

TEST_F(CFileTest, BackslashesActAsSeparators) {
  std::string windowsStyle = dir_.path() + "\\data.bin";
  CFile file;
  ASSERT_TRUE(file.Open(windowsStyle.c_str(), CFile::modeRead));
  unsigned char b = 0;
  EXPECT_EQ(file.Read(&b, 1), 1u);
  EXPECT_EQ(b, 1);
}

TEST_F(CFileTest, ReadsFromThePositionAndStopsAtTheEnd) {
  CFile file(path_.c_str(), CFile::modeRead);
  unsigned char b[8] = {};
  EXPECT_EQ(file.Seek(3, CFile::begin), 3u);
  EXPECT_EQ(file.Read(b, sizeof b), 2u);
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(b[1], 5);
  EXPECT_EQ(file.Read(b, sizeof b), 0u) << "at the end";
  EXPECT_EQ(file.Seek(100, CFile::begin), 100u) << "past the end is accepted";
  EXPECT_EQ(file.Read(b, sizeof b), 0u);
  EXPECT_EQ(file.GetLength(), 5u);
  EXPECT_EQ(file.Seek(-1, CFile::end), 4u);
  EXPECT_EQ(file.Seek(-2, CFile::current), 2u);
}

TEST_F(CFileTest, SeekBeforeTheStartRaisesBadSeek) {
  CFile file(path_.c_str(), CFile::modeRead);
  try {
    file.Seek(-1, CFile::begin);
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::badSeek);
  }
}

TEST_F(CFileTest, RaisingOpenCarriesCauseErrorAndPath) {
  std::string missing = dir_ / "missing";
  try {
    CFile file(missing.c_str(), CFile::modeRead);
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_lOsError, ENOENT);
    EXPECT_EQ(std::string(e.m_strFileName), missing);
  }
}

TEST_F(CFileTest, OverlongPathFailsWithoutOverrun) {
  std::string huge(70000, 'p');
  CFileException error;
  CFile file;
  EXPECT_FALSE(file.Open(huge.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::badPath);
  EXPECT_EQ(std::string(error.m_strFileName), huge.substr(0, CFileException::kMaxFileName - 1));
}

TEST_F(CFileTest, TwoObjectsCannotHoldOneFile) {
  CFile first(path_.c_str(), CFile::modeRead);
  CFile second;
  CFileException error;
  EXPECT_FALSE(second.Open(path_.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.Open(path_.c_str(), CFile::modeRead));
}

TEST_F(CFileTest, ReleaseClosesWhatIsStillHeld) {
  const int before = testing::OpenDescriptorCount();
  {
    CFile file(path_.c_str(), CFile::modeRead);
    EXPECT_EQ(testing::OpenDescriptorCount(), before + 1);
  }
  EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace vellumar::platform
