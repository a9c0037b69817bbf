// The file object's positioning, reads, path handling and failures, on any
// backend: faults come through the neutral file seam.
#include "platform/cfile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_name.h"
#include "support/file_seam.h"
#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

using testing::OsErrorFor;
using testing::ScopedFileSeam;

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
    EXPECT_EQ(e.m_lOsError, OsErrorFor(FileFailure::badSeek));
  }
}

TEST_F(CFileTest, RaisingOpenCarriesCauseErrorAndPath) {
  std::string missing = dir_ / "missing";
  try {
    CFile file(missing.c_str(), CFile::modeRead);
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_lOsError, OsErrorFor(FileFailure::notFound));
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
  EXPECT_EQ(error.m_lOsError, OsErrorFor(FileFailure::sharingViolation));
  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.Open(path_.c_str(), CFile::modeRead));
}

TEST_F(CFileTest, AnObjectThatHoldsNoFileRaisesInvalidFile) {
  CFile file;
  unsigned char b = 0;
  for (auto step : {+[](CFile&f, unsigned char&x) { f.Read(&x, 1); },
                    +[](CFile&f, unsigned char&) { f.Seek(0, CFile::begin); },
                    +[](CFile&f, unsigned char&) { f.GetLength(); }}) {
    try {
      step(file, b);
      ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
      EXPECT_EQ(e.m_cause, CFileException::invalidFile);
      EXPECT_EQ(e.m_lOsError, OsErrorFor(FileFailure::invalidHandle));
    }
  }
  CFileStatus status;
  EXPECT_FALSE(file.GetStatus(status));
  file.Close();  // nothing held: nothing to report
}

TEST_F(CFileTest, ReleaseClosesWhatIsStillHeld) {
  ScopedFileSeam seam;
  {
    CFile file(path_.c_str(), CFile::modeRead);
    EXPECT_EQ(seam.opened(), 1);
    EXPECT_EQ(seam.closed(), 0);
  }
  EXPECT_EQ(seam.closed(), 1);
}

TEST_F(CFileTest, ReleaseClosesTheHandle) {
  const int before = testing::OpenHandleCount();
  {
    CFile file(path_.c_str(), CFile::modeRead);
    EXPECT_EQ(testing::OpenHandleCount(), before + 1);
  }
  EXPECT_EQ(testing::OpenHandleCount(), before);
}

// Every injected failure at every step, counted in the process's own
// handle table rather than by the seam: a sharing violation closes the
// handle that the open got, a failed close has closed it.
TEST_F(CFileTest, NoFaultLeavesAHandleOpen) {
  for (test::FileOperation operation : {test::FileOperation::open, test::FileOperation::status,
                                        test::FileOperation::read, test::FileOperation::close}) {
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

TEST_F(CFileTest, TheHandleIsNotInherited) {
  ScopedFileSeam seam;
  bool inheritable = true;
  int reads = 0;
  seam.BeforeRead([&](FileHandle handle) {
    ++reads;
    inheritable = test::IsInheritable(handle);
  });
  CFile file(path_.c_str(), CFile::modeRead);
  unsigned char b = 0;
  file.Read(&b, 1);
  ASSERT_EQ(reads, 1);
  EXPECT_FALSE(inheritable) << "a child process would inherit the data file";
}

// One step of the file's life made to fail, and where and how the file
// object reports it.
enum class FailsAt { open, read, close };

struct FaultCase {
  const char* name;
  test::FileOperation operation;
  FileFailure failure;
  FailsAt failsAt;
  CFileException::Cause cause;
};
VELLUMAR_PRINT_AS_CASE_NAME(FaultCase)

const FaultCase kFaults[] = {
    {"OpenNotFound", test::FileOperation::open, FileFailure::notFound, FailsAt::open,
     CFileException::fileNotFound},
    {"OpenAccessDenied", test::FileOperation::open, FileFailure::accessDenied, FailsAt::open,
     CFileException::accessDenied},
    {"OpenSharingViolation", test::FileOperation::open, FileFailure::sharingViolation,
     FailsAt::open, CFileException::sharingViolation},
    {"OpenTooManyOpenFiles", test::FileOperation::open, FileFailure::tooManyOpenFiles,
     FailsAt::open, CFileException::tooManyOpenFiles},
    {"StatusIoError", test::FileOperation::status, FileFailure::ioError, FailsAt::open,
     CFileException::hardIO},
    {"ReadIoError", test::FileOperation::read, FileFailure::ioError, FailsAt::read,
     CFileException::hardIO},
    {"CloseIoError", test::FileOperation::close, FileFailure::ioError, FailsAt::close,
     CFileException::hardIO},
};

class CFileFaultTest : public CFileTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CFileFaultTest, IsReportedAtItsStepAndLeavesNothingOpen) {
  const FaultCase& c = GetParam();
  ScopedFileSeam seam(c.operation, c.failure);
  {
    CFile file;
    CFileException error;
    const bool opened = file.Open(path_.c_str(), CFile::modeRead, &error);
    EXPECT_EQ(opened, c.failsAt != FailsAt::open);
    if (!opened) {
      EXPECT_EQ(error.m_cause, c.cause);
      EXPECT_EQ(error.m_lOsError, OsErrorFor(c.failure));
      EXPECT_EQ(std::string(error.m_strFileName), path_);
      EXPECT_FALSE(file.IsOpen());
    } else {
      unsigned char b[2] = {};
      try {
        EXPECT_EQ(file.Read(b, sizeof b), 2u);
        EXPECT_NE(c.failsAt, FailsAt::read) << "the read did not fail";
      } catch (const CFileException& e) {
        EXPECT_EQ(c.failsAt, FailsAt::read);
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_lOsError, OsErrorFor(c.failure));
      }
      try {
        file.Close();
        EXPECT_NE(c.failsAt, FailsAt::close) << "the close did not fail";
      } catch (const CFileException& e) {
        EXPECT_EQ(c.failsAt, FailsAt::close);
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_lOsError, OsErrorFor(c.failure));
      }
      EXPECT_FALSE(file.IsOpen()) << "a failed close still lets go of the file";
    }
  }
  EXPECT_EQ(seam.opened(), seam.closed());
}

INSTANTIATE_TEST_SUITE_P(Steps, CFileFaultTest, ::testing::ValuesIn(kFaults), testing::CaseName());

}  // namespace
}  // namespace vellumar::platform
