// The four information-file queries against real files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/data_paths.h"
#include "support/allocation_counter.h"
#include "support/case_name.h"
#include "support/child_process.h"
#include "support/failing_file_ops.h"
#include "support/query_outcome.h"
#include "support/test_files.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using testing::CallResolutionInt;
using testing::CallText;
using testing::Outcome;

// Points the library at a fresh application directory.
class InfoFileTest : public ::testing::Test {
 protected:
  void SetUp() override { UseDirectory(dir_.path()); }

  static void UseDirectory(const std::string& directory) {
    std::memset(g_szAppDirectory, 0, sizeof g_szAppDirectory);
    std::memcpy(g_szAppDirectory, directory.data(), directory.size());
    ComposeDataPaths();
  }
  std::string InfoPath() const { return dir_ / "vers_res.inf"; }
  void WriteInfo(const std::vector<unsigned char>& bytes) const {
    testing::WriteFile(InfoPath(), bytes);
  }

  struct Answers {
    Outcome str, ints, version, os;
  };
  static Answers AskAll() {
    return {CallText(GetResolutionStr), CallResolutionInt(), CallText(GetAppVersion),
            CallText(GetOSVer)};
  }

  testing::TempDir dir_;
};

// An 18-byte file with the given version and system codes.
std::vector<unsigned char> InfoFile(std::uint16_t version, std::uint32_t os) {
  std::vector<unsigned char> b(18, 0);
  b[4] = static_cast<unsigned char>(version);
  b[5] = static_cast<unsigned char>(version >> 8);
  for (int i = 0; i < 4; ++i)
    b[10 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(os >> (8 * i));
  return b;
}

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

// Every way the open can fail, and the answer each query gives for it. The
// caller's storage must be untouched in every row (CallText checks).
struct OpenFailureCase {
  const char* name;
  // Prepares the directory (or not); returns false to skip the row.
  bool (*prepare)(const std::string& dir, const std::string& infoPath);
  int cause;
};
VELLUMAR_PRINT_AS_CASE_NAME(OpenFailureCase)

const OpenFailureCase kOpenFailures[] = {
    {"FileMissing", [](const std::string&, const std::string&) { return true; },
     CFileException::fileNotFound},
    {"DirectoryInItsPlace",
     [](const std::string&, const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0; },
     CFileException::accessDenied},
    {"FifoInItsPlace",  // must fail at once rather than wait for a writer
     [](const std::string&, const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; },
     CFileException::accessDenied},
    {"DeviceInItsPlace",
     [](const std::string&, const std::string& p) {
       return ::symlink("/dev/zero", p.c_str()) == 0;
     },
     CFileException::accessDenied},
    {"DirectoryMissing",
     [](const std::string& d, const std::string&) {
       std::filesystem::remove_all(d);
       return true;
     },
     CFileException::fileNotFound},
};

class OpenFailureTest : public InfoFileTest,
                        public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, FailsAtTheOpenAndLeavesStorageAlone) {
  if (!GetParam().prepare(dir_.path(), InfoPath())) GTEST_SKIP() << "cannot be set up here";
  const int fdsBefore = testing::OpenDescriptorCount();
  Answers a = AskAll();
  EXPECT_EQ(a.str, Outcome::File(GetParam().cause));
  EXPECT_EQ(a.ints, Outcome::File(GetParam().cause));
  EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
  EXPECT_EQ(testing::OpenDescriptorCount(), fdsBefore);
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
    EXPECT_EQ(e.m_lOsError, ENOENT);
    EXPECT_EQ(std::string(e.m_strFileName), dir_.path() + "\\vers_res.inf");
  }
}

TEST_F(InfoFileTest, FileHeldByAnotherProcessFailsEveryQuery) {
  WriteInfo(InfoFile(2008, 3));
  {
    testing::FileHolder holder(InfoPath());
    ASSERT_TRUE(holder.held());
    Answers a = AskAll();
    EXPECT_EQ(a.str, Outcome::File(CFileException::sharingViolation));
    EXPECT_EQ(a.ints, Outcome::File(CFileException::sharingViolation));
    EXPECT_EQ(a.version, Outcome::Script(ERR_INFO_OPEN));
    EXPECT_EQ(a.os, Outcome::Script(ERR_INFO_OPEN));
  }
  EXPECT_EQ(CallText(GetOSVer), Outcome::Answer("Windows NT")) << "nothing is left behind";
}

TEST_F(InfoFileTest, WhileAQueryHoldsTheFileNoOneElseCanTakeIt) {
  WriteInfo(InfoFile(2008, 3));
  testing::FailingFileOps ops(testing::FileOp::none, 0);
  int otherExit = -1;
  bool inherited = true;
  Outcome overlapping;
  ops.OnPread([&](int fd) {
    otherExit =
        testing::RunProcess({"flock", "--exclusive", "--nonblock", InfoPath(), "true"}).exitCode;
    inherited = (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0;
    overlapping = CallText(GetOSVer);  // fails at its open, so never reads
  });
  EXPECT_EQ(CallText(GetAppVersion), Outcome::Answer("Pelorin Version 7.0"));
  EXPECT_EQ(otherExit, 1) << "a second process took the file while the query held it";
  EXPECT_FALSE(inherited) << "a child process would inherit the data file";
  EXPECT_EQ(overlapping, Outcome::Script(ERR_INFO_OPEN)) << "two queries held the file at once";
}

// Every system call of a query failing in turn, through the file seam.
struct SyscallFailureCase {
  const char* name;
  testing::FileOp op;
  int error;
  Outcome resolution;  // GetResolutionStr and GetResolutionInt
  Outcome version;
  Outcome os;
};
VELLUMAR_PRINT_AS_CASE_NAME(SyscallFailureCase)

const SyscallFailureCase kSyscallFailures[] = {
    {"OpenRefused", testing::FileOp::open, EACCES, Outcome::File(CFileException::accessDenied),
     Outcome::Script(ERR_INFO_OPEN), Outcome::Script(ERR_INFO_OPEN)},
    {"OpenOutOfDescriptors", testing::FileOp::open, EMFILE,
     Outcome::File(CFileException::tooManyOpenFiles), Outcome::Script(ERR_INFO_OPEN),
     Outcome::Script(ERR_INFO_OPEN)},
    {"StatusAtOpenFails", testing::FileOp::fstat, EIO, Outcome::File(CFileException::hardIO),
     Outcome::Script(ERR_INFO_OPEN), Outcome::Script(ERR_INFO_OPEN)},
    {"LockRefused", testing::FileOp::flock, EWOULDBLOCK,
     Outcome::File(CFileException::sharingViolation), Outcome::Script(ERR_INFO_OPEN),
     Outcome::Script(ERR_INFO_OPEN)},
    {"ReadFails", testing::FileOp::pread, EIO, Outcome::File(CFileException::hardIO, EIO),
     Outcome::File(CFileException::hardIO, EIO), Outcome::File(CFileException::hardIO, EIO)},
    {"CloseFails", testing::FileOp::close, EIO, Outcome::File(CFileException::hardIO, EIO),
     Outcome::File(CFileException::hardIO, EIO), Outcome::File(CFileException::hardIO, EIO)},
};

class SyscallFailureTest : public InfoFileTest,
                           public ::testing::WithParamInterface<SyscallFailureCase> {};

TEST_P(SyscallFailureTest, ReachesTheCallerAndLeavesNothingOpen) {
  const SyscallFailureCase& c = GetParam();
  WriteInfo(InfoFile(2008, 3));
  const int fdsBefore = testing::OpenDescriptorCount();
  testing::FailingFileOps ops(c.op, c.error);
  Answers a = AskAll();
  EXPECT_EQ(a.str, c.resolution);
  EXPECT_EQ(a.ints, c.resolution);
  EXPECT_EQ(a.version, c.version);
  EXPECT_EQ(a.os, c.os);
  EXPECT_EQ(ops.opened(), ops.closed());
  EXPECT_EQ(testing::OpenDescriptorCount(), fdsBefore);
}

INSTANTIATE_TEST_SUITE_P(Calls, SyscallFailureTest, ::testing::ValuesIn(kSyscallFailures),
                         testing::CaseName());

TEST_F(InfoFileTest, ASuccessfulQueryUsesOneDescriptorAndClosesIt) {
  WriteInfo(InfoFile(2008, 3));
  testing::FailingFileOps ops(testing::FileOp::none, 0);
  Answers a = AskAll();
  EXPECT_EQ(a.os, Outcome::Answer("Windows NT"));
  EXPECT_EQ(ops.opened(), 4);
  EXPECT_EQ(ops.closed(), 4);
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
