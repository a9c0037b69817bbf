// The four information-file queries against real files, and every failure
// of the file underneath them, injected through the neutral file seam.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/data_paths.h"
#include "library/info_file_fixture.h"
#include "support/allocation_counter.h"
#include "support/case_name.h"
#include "support/file_seam.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using testing::CallResolutionInt;
using testing::CallText;
using testing::FileFailure;
using testing::FileOperation;
using testing::InfoFile;
using testing::InfoFileTest;
using testing::OsErrorFor;
using testing::Outcome;
using testing::ScopedFileSeam;

struct CodeCase {
  const char* name;
  std::uint32_t code;
  const char* text;
};
VELLUMAR_PRINT_AS_CASE_NAME(CodeCase)

const CodeCase kVersionCases[] = {
    {"Zero", 0, "Pelorin Version Pre 4.1 (16-bit)"},
    {"One", 1, "Unknown Pelorin Version"},
    {"TwentyThree", 23, "Unknown Pelorin Version"},
    {"V41", 24, "Pelorin Version 4.1"},
    {"V50", 25, "Pelorin Version 5.0"},
    {"V51", 26, "Pelorin Version 5.1"},
    {"V56", 27, "Pelorin Version 5.6"},
    {"TwentyEight", 28, "Unknown Pelorin Version"},
    {"Y1998", 1998, "Unknown Pelorin Version"},
    {"Y1999", 1999, "Pelorin Version Pre 4.1 (16-bit)"},
    {"Y2000", 2000, "Unknown Pelorin Version"},
    {"Y2003", 2003, "Unknown Pelorin Version"},
    {"Y2004", 2004, "Pelorin Version 5.0b"},
    {"Y2005", 2005, "Pelorin Version 5.1b"},
    {"Y2006", 2006, "Pelorin Version 6.0"},
    {"Y2007HasNoEntry", 2007, "Unknown Pelorin Version"},
    {"Y2008", 2008, "Pelorin Version 7.0"},
    {"Y2009", 2009, "Unknown Pelorin Version"},
    {"Largest", 65535, "Unknown Pelorin Version"},
};

class VersionTableTest : public InfoFileTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(VersionTableTest, NamesTheVersion) {
  WriteInfo(InfoFile(static_cast<std::uint16_t>(GetParam().code), 3));
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Codes, VersionTableTest, ::testing::ValuesIn(kVersionCases),
                         testing::CaseName());

const CodeCase kOsCases[] = {
    {"Zero", 0, "Unknown"},
    {"Win3One", 1, "Windows 3.x"},
    {"Win3Two", 2, "Windows 3.x"},
    {"NT", 3, "Windows NT"},
    {"Win9x", 4, "Windows 9x"},
    {"Five", 5, "Unknown"},
    {"All32BitsCount", 65539, "Unknown"},  // bytes 03 00 01 00
    {"HighBitOnly", 0x80000003u, "Unknown"},
    {"Largest", 0xFFFFFFFFu, "Unknown"},
};

class OsTableTest : public InfoFileTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(OsTableTest, NamesTheSystem) {
  WriteInfo(InfoFile(2008, GetParam().code));
  EXPECT_EQ(CallText(GetOSVer), Outcome::Answer(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Codes, OsTableTest, ::testing::ValuesIn(kOsCases), testing::CaseName());

struct ShortFileCase {
  const char* name;
  std::vector<unsigned char> bytes;
  const char* resolution;
  const char* ints;
  Outcome version;
  const char* os;
};
VELLUMAR_PRINT_AS_CASE_NAME(ShortFileCase)

const ShortFileCase kShortFiles[] = {
    {"Empty", {}, "0 x 0", "0 0", Outcome::Script(ERR_INFO_READ), "Unknown OS"},
    {"ThreeBytes",
     {0x80, 0x02, 0x58},
     "640 x 88",
     "640 88",
     Outcome::Script(ERR_INFO_READ),
     "Unknown OS"},
    {"FourBytes",
     {0x00, 0x04, 0x00, 0x03},
     "1024 x 768",
     "1024 768",
     Outcome::Script(ERR_INFO_READ),
     "Unknown OS"},
    {"FiveBytesHoldsTheVersionLowByte",
     {0x00, 0x04, 0x00, 0x03, 24},
     "1024 x 768",
     "1024 768",
     Outcome::Answer("Pelorin Version 4.1"),
     "Unknown OS"},
    {"SeventeenBytes",
     {0xFF, 0xFF, 0xFF, 0xFF, 0xD8, 0x07, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0},
     "65535 x 65535",
     "65535 65535",
     Outcome::Answer("Pelorin Version 7.0"),
     "Unknown OS"},
    {"EighteenBytesCodeZero",
     {0, 0, 0, 0, 0xD8, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     "0 x 0",
     "0 0",
     Outcome::Answer("Pelorin Version 7.0"),
     "Unknown"},
    {"EighteenBytesNT",
     {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0},
     "1024 x 768",
     "1024 768",
     Outcome::Answer("Pelorin Version 7.0"),
     "Windows NT"},
};

class ShortFileTest : public InfoFileTest, public ::testing::WithParamInterface<ShortFileCase> {};

TEST_P(ShortFileTest, MissingBytesReadAsZeroOrFailAsTheQueryDefines) {
  const ShortFileCase& c = GetParam();
  WriteInfo(c.bytes);
  Answers a = AskAll();
  EXPECT_EQ(a.str, Outcome::Answer(c.resolution));
  EXPECT_EQ(a.ints, Outcome::Answer(c.ints));
  EXPECT_EQ(a.version, c.version);
  EXPECT_EQ(a.os, Outcome::Answer(c.os));
}

INSTANTIATE_TEST_SUITE_P(Files, ShortFileTest, ::testing::ValuesIn(kShortFiles),
                         testing::CaseName());

TEST_F(InfoFileTest, UnreadBytesChangeNoAnswer) {
  std::vector<unsigned char> base = InfoFile(2006, 4);
  base[0] = 0x20;  // width 800
  base[1] = 0x03;
  base[2] = 0x58;  // height 600
  base[3] = 0x02;
  WriteInfo(base);
  const Answers before = AskAll();
  EXPECT_EQ(before.str, Outcome::Answer("800 x 600"));
  EXPECT_EQ(before.version, Outcome::Answer("Pelorin Version 6.0"));
  EXPECT_EQ(before.os, Outcome::Answer("Windows 9x"));

  std::vector<unsigned char> noisy = base;
  for (std::size_t i : {6u, 7u, 8u, 9u, 14u, 15u, 16u, 17u}) noisy[i] = 0xEE;
  noisy.resize(4096, 0xEE);
  WriteInfo(noisy);
  const Answers after = AskAll();
  EXPECT_EQ(after.str, before.str);
  EXPECT_EQ(after.ints, before.ints);
  EXPECT_EQ(after.version, before.version);
  EXPECT_EQ(after.os, before.os);
}

TEST_F(InfoFileTest, EveryCallReadsTheFileAfresh) {
  WriteInfo(InfoFile(2004, 1));
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer("Pelorin Version 5.0b"));
  WriteInfo(InfoFile(2005, 1));
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer("Pelorin Version 5.1b"));
}

TEST_F(InfoFileTest, SamePointerTwiceEndsWithTheHeight) {
  WriteInfo({0x00, 0x04, 0x00, 0x03});
  std::int32_t both = 0;
  GetResolutionInt(&both, &both);
  EXPECT_EQ(both, 768);
}

// Every way the open can fail on any system, and the answer each query gives
// for it. The caller's storage must be untouched in every row (CallText
// checks), and every handle opened is closed.
struct OpenFailureCase {
  const char* name;
  // Prepares the directory (or not).
  void (*prepare)(const std::string& dir, const std::string& infoPath);
  int cause;
};
VELLUMAR_PRINT_AS_CASE_NAME(OpenFailureCase)

const OpenFailureCase kOpenFailures[] = {
    {"FileMissing", [](const std::string&, const std::string&) {}, CFileException::fileNotFound},
    {"DirectoryInItsPlace",
     [](const std::string&, const std::string& p) { std::filesystem::create_directory(p); },
     CFileException::accessDenied},
    {"DirectoryMissing",
     [](const std::string& d, const std::string&) { std::filesystem::remove_all(d); },
     CFileException::fileNotFound},
};

class OpenFailureTest : public InfoFileTest,
                        public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, FailsAtTheOpenAndLeavesStorageAlone) {
  GetParam().prepare(dir_.path(), InfoPath());
  ScopedFileSeam seam;
  Answers a = AskAll();
  EXPECT_EQ(a.str, Outcome::File(GetParam().cause));
  EXPECT_EQ(a.ints, Outcome::File(GetParam().cause));
  EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(seam.opened(), seam.closed());
}

INSTANTIATE_TEST_SUITE_P(Causes, OpenFailureTest, ::testing::ValuesIn(kOpenFailures),
                         testing::CaseName());

TEST_F(InfoFileTest, NoDirectoryConfiguredFailsEveryOpen) {
  WriteInfo(InfoFile(2008, 3));
  UseDirectory("None");
  ASSERT_STREQ(g_szInfoFilePath, "");
  Answers a = AskAll();
  EXPECT_EQ(a.str.kind, Outcome::fileError);
  EXPECT_EQ(a.ints.kind, Outcome::fileError);
  EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
}

TEST_F(InfoFileTest, FileErrorCarriesTheOsErrorAndThePathAsComposed) {
  try {
    char buffer[32];
    GetResolutionStr(buffer);
    FAIL() << "the open of a missing file succeeded";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_lOsError, OsErrorFor(FileFailure::notFound));
    EXPECT_EQ(std::string(e.m_strFileName), dir_.path() + "\\vers_res.inf");
  }
}

// While a query holds the file, a second query fails at its open, and the
// handle would not pass to a child process.
TEST_F(InfoFileTest, WhileAQueryHoldsTheFileNoOtherQueryCanOpenIt) {
  WriteInfo(InfoFile(2008, 3));
  ScopedFileSeam seam;
  int reads = 0;
  bool inheritable = true;
  Outcome overlapping;
  seam.BeforeRead([&](platform::FileHandle handle) {
    if (++reads > 1) return;
    inheritable = platform::test::IsInheritable(handle);
    overlapping = CallText(GetOSVer);  // fails at its open, so never reads
  });
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer("Pelorin Version 7.0"));
  EXPECT_EQ(reads, 1);
  EXPECT_FALSE(inheritable) << "a child process would inherit the data file";
  EXPECT_EQ(overlapping, Outcome::Script(ERR_INFO_OPEN)) << "two queries held the file at once";
  EXPECT_EQ(seam.opened(), 2);
  EXPECT_EQ(seam.closed(), 2);
}

// One step of the file's life failing in turn, as (step, failure, what each
// query then gives). A file error carries the backend's own error number for
// the failure injected.
Outcome FileError(int cause, FileFailure failure) {
  return Outcome::File(cause, OsErrorFor(failure));
}

struct InfoFaultCase {
  const char* name;
  FileOperation operation;
  FileFailure failure;
  Outcome resolution;  // GetResolutionStr and GetResolutionInt
  Outcome version;
  Outcome os;
};
VELLUMAR_PRINT_AS_CASE_NAME(InfoFaultCase)

const InfoFaultCase kFaults[] = {
    {"OpenNotFound", FileOperation::open, FileFailure::notFound,
     FileError(CFileException::fileNotFound, FileFailure::notFound), Outcome::Script(ERR_INFO_OPEN),
     Outcome::Script(ERR_INFO_OPEN)},
    {"OpenAccessDenied", FileOperation::open, FileFailure::accessDenied,
     FileError(CFileException::accessDenied, FileFailure::accessDenied),
     Outcome::Script(ERR_INFO_OPEN), Outcome::Script(ERR_INFO_OPEN)},
    {"OpenTooManyOpenFiles", FileOperation::open, FileFailure::tooManyOpenFiles,
     FileError(CFileException::tooManyOpenFiles, FileFailure::tooManyOpenFiles),
     Outcome::Script(ERR_INFO_OPEN), Outcome::Script(ERR_INFO_OPEN)},
    {"OpenSharingViolation", FileOperation::open, FileFailure::sharingViolation,
     FileError(CFileException::sharingViolation, FileFailure::sharingViolation),
     Outcome::Script(ERR_INFO_OPEN), Outcome::Script(ERR_INFO_OPEN)},
    {"StatusIoError", FileOperation::status, FileFailure::ioError,
     FileError(CFileException::hardIO, FileFailure::ioError), Outcome::Script(ERR_INFO_OPEN),
     Outcome::Script(ERR_INFO_OPEN)},
    {"ReadIoError", FileOperation::read, FileFailure::ioError,
     FileError(CFileException::hardIO, FileFailure::ioError),
     FileError(CFileException::hardIO, FileFailure::ioError),
     FileError(CFileException::hardIO, FileFailure::ioError)},
    {"CloseIoError", FileOperation::close, FileFailure::ioError,
     FileError(CFileException::hardIO, FileFailure::ioError),
     FileError(CFileException::hardIO, FileFailure::ioError),
     FileError(CFileException::hardIO, FileFailure::ioError)},
};

class InfoFaultTest : public InfoFileTest, public ::testing::WithParamInterface<InfoFaultCase> {};

TEST_P(InfoFaultTest, ReachesTheCallerAndLeavesNothingOpen) {
  const InfoFaultCase& c = GetParam();
  WriteInfo(InfoFile(2008, 3));
  ScopedFileSeam seam(c.operation, c.failure);
  Answers a = AskAll();
  EXPECT_EQ(a.str, c.resolution);
  EXPECT_EQ(a.ints, c.resolution);
  EXPECT_EQ(a.version, c.version);
  EXPECT_EQ(a.os, c.os);
  EXPECT_EQ(seam.opened(), seam.closed());
}

INSTANTIATE_TEST_SUITE_P(Steps, InfoFaultTest, ::testing::ValuesIn(kFaults), testing::CaseName());

TEST_F(InfoFileTest, ASuccessfulQueryUsesOneHandleAndClosesIt) {
  WriteInfo(InfoFile(2008, 3));
  ScopedFileSeam seam;
  Answers a = AskAll();
  EXPECT_EQ(a.os, Outcome::Answer("Windows NT"));
  EXPECT_EQ(seam.opened(), 4);
  EXPECT_EQ(seam.closed(), 4);
}

// Every injected failure at every step, counted in the process's own handle
// table rather than by the seam.
TEST_F(InfoFileTest, NoFaultLeavesAHandleOpen) {
  WriteInfo(InfoFile(2008, 3));
  for (FileOperation operation :
       {FileOperation::open, FileOperation::status, FileOperation::read, FileOperation::close}) {
    for (FileFailure failure :
         {FileFailure::notFound, FileFailure::accessDenied, FileFailure::sharingViolation,
          FileFailure::tooManyOpenFiles, FileFailure::ioError}) {
      const int handlesBefore = testing::OpenHandleCount();
      {
        ScopedFileSeam seam(operation, failure);
        AskAll();
      }
      EXPECT_EQ(testing::OpenHandleCount(), handlesBefore)
          << testing::FileFaultName(operation, failure);
    }
  }
}

TEST_F(InfoFileTest, AnsweringAllocatesNothing) {
  WriteInfo(InfoFile(2008, 3));
  char text[64];
  std::int32_t w = 0, h = 0;
  testing::AllocationScope scope;
  GetResolutionStr(text);
  GetResolutionInt(&w, &h);
  GetAppVersion(text);
  GetOSVer(text);
  EXPECT_EQ(scope.count(), 0u);
  EXPECT_STREQ(text, "Windows NT");

  testing::AllocationScope counterWorks;
  auto probe = std::make_unique<int>(1);
  EXPECT_EQ(counterWorks.count(), 1u) << "the counter does not see allocations";
}

}  // namespace
}  // namespace vellumar
