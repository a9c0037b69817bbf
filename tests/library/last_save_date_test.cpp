// GetLastSaveDate against real save-stamp files whose last-write times the
// tests set, in zones given by TZ, at a fixed moment of the call.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "library/data_paths.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/file_seam.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "support/time_scopes.h"
#include "vellumar/vellumar.h"

namespace vellumar {
namespace {

using platform::Instant;
using testing::CallText;
using testing::FileFailure;
using testing::FileOperation;
using testing::kCentralEuropeanZone;
using testing::kEasternZone;
using testing::kUtcZone;
using testing::OsErrorFor;
using testing::Outcome;
using testing::ScopedFileSeam;
using testing::ScopedNow;
using testing::ScopedTimeZone;
using testing::Utc;

constexpr std::size_t kBufferSize = 64;
constexpr char kUnwritten = '#';

// A fresh application directory that the library is pointed at, held in
// memory where the system can (it stores last-write times before 1901); the
// previous configuration comes back afterwards.
class AppDirectory {
 public:
  AppDirectory() {
    std::memcpy(m_savedDirectory, g_szAppDirectory, sizeof m_savedDirectory);
    std::snprintf(g_szAppDirectory, sizeof g_szAppDirectory, "%s", m_dir.path().c_str());
    ComposeDataPaths();
  }
  ~AppDirectory() {
    std::memcpy(g_szAppDirectory, m_savedDirectory, sizeof m_savedDirectory);
    ComposeDataPaths();
  }
  AppDirectory(const AppDirectory&) = delete;
  AppDirectory& operator=(const AppDirectory&) = delete;

  const std::string& Path() const { return m_dir.path(); }
  std::string StampPath() const { return m_dir / "app.ver"; }

  // Writes app.ver and sets its last-write time. False when the file system
  // does not store that time exactly.
  bool WriteStamp(Instant lastWrite, long nanoseconds = 0, std::string_view contents = {}) const {
    testing::WriteText(StampPath(), contents);
    return testing::SetLastWriteTime(StampPath(), lastWrite.unixSeconds, nanoseconds);
  }

 private:
  char m_savedDirectory[kPathBufferSize];
  testing::TempDir m_dir{testing::TempDir::Where::inMemory};
};

// A buffer filled with kUnwritten, so that what a call writes, and where it
// stops, can be seen.
struct Buffer {
  Buffer() { std::memset(bytes, kUnwritten, sizeof bytes); }
  // The text up to its NUL, when the rest of the buffer is untouched.
  std::optional<std::string> Text() const {
    const std::size_t n = strnlen(bytes, sizeof bytes);
    if (n == sizeof bytes) return std::nullopt;
    for (std::size_t i = n + 1; i < sizeof bytes; ++i) {
      if (bytes[i] != kUnwritten) return std::nullopt;
    }
    return std::string(bytes, n);
  }
  bool Untouched() const {
    for (char c : bytes) {
      if (c != kUnwritten) return false;
    }
    return true;
  }
  char bytes[kBufferSize];
};

// The failure code that a call raised, or nullopt when it returned.
std::optional<ScriptError> CallRaising(Buffer& buffer) {
  try {
    GetLastSaveDate(buffer.bytes);
  } catch (ScriptError code) {
    return code;
  }
  return std::nullopt;
}

const Instant kStandardNow = Utc(2004, 1, 15, 12);
const Instant kDaylightNow = Utc(2004, 7, 15, 12);

struct SaveDateRow {
  const char* name;
  const char* zone;
  Instant now;
  Instant lastWrite;
  long nanoseconds;
  const char* expected;
};

void PrintTo(const SaveDateRow& row, std::ostream* os) { *os << row.name; }

class LastSaveDateText : public ::testing::TestWithParam<SaveDateRow> {};

TEST_P(LastSaveDateText, IsExactly) {
  const SaveDateRow& row = GetParam();
  if (!testing::ZoneAvailable(row.zone)) GTEST_SKIP() << "no zone file " << row.zone;
  AppDirectory dir;
  ASSERT_FALSE(dir.Path().empty());
  if (!dir.WriteStamp(row.lastWrite, row.nanoseconds)) {
    GTEST_SKIP() << "the file system under " << dir.Path() << " does not store the time "
                 << row.lastWrite.unixSeconds << " s";
  }
  ScopedTimeZone zone(row.zone);
  ScopedNow now(row.now);
  Buffer buffer;
  ASSERT_EQ(CallRaising(buffer), std::nullopt);
  EXPECT_EQ(buffer.Text(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LastSaveDateText,
    ::testing::Values(
        // Moved by the offset in force at the moment of the call, whatever
        // was in force when the file was written.
        SaveDateRow{"March_StandardNow", kEasternZone, kStandardNow, Utc(2004, 3, 3, 19, 5, 9), 0,
                    "14:05:09  March 03, 2004"},
        SaveDateRow{"March_DaylightNow", kEasternZone, kDaylightNow, Utc(2004, 3, 3, 19, 5, 9), 0,
                    "15:05:09  March 03, 2004"},
        SaveDateRow{"July_DaylightNow", kEasternZone, kDaylightNow, Utc(2004, 7, 1, 12), 0,
                    "08:00:00  July 01, 2004"},
        SaveDateRow{"July_StandardNow", kEasternZone, kStandardNow, Utc(2004, 7, 1, 12), 0,
                    "07:00:00  July 01, 2004"},
        // 02:30 falls in the hour skipped on 4 April 2004: shown an hour earlier.
        SaveDateRow{"SkippedHour_StandardNow", kEasternZone, kStandardNow, Utc(2004, 4, 4, 7, 30),
                    0, "01:30:00  April 04, 2004"},
        SaveDateRow{"SkippedHour_DaylightNow", kEasternZone, kDaylightNow, Utc(2004, 4, 4, 7, 30),
                    0, "03:30:00  April 04, 2004"},
        SaveDateRow{"SkippedHour_ZoneFile", "America/New_York", kStandardNow,
                    Utc(2004, 4, 4, 7, 30), 0, "01:30:00  April 04, 2004"},
        SaveDateRow{"RepeatedHour_StandardNow", kEasternZone, kStandardNow,
                    Utc(2004, 10, 31, 6, 30), 0, "01:30:00  October 31, 2004"},
        // File time 0, and readings before 1900: the start of 1970 UTC.
        SaveDateRow{"FileTimeZero_West", kEasternZone, kStandardNow, Utc(1601, 1, 1), 0,
                    "19:00:00  December 31, 1969"},
        SaveDateRow{"FileTimeZero_DaylightNow", kEasternZone, kDaylightNow, Utc(1601, 1, 1), 0,
                    "19:00:00  December 31, 1969"},
        SaveDateRow{"FileTimeZero_Utc", kUtcZone, kStandardNow, Utc(1601, 1, 1), 0,
                    "00:00:00  January 01, 1970"},
        SaveDateRow{"FileTimeZero_OneHourEast", kCentralEuropeanZone, kStandardNow, Utc(1601, 1, 1),
                    0, "01:00:00  January 01, 1970"},
        SaveDateRow{"ReadingLastSecondOf1899", kEasternZone, kStandardNow,
                    Utc(1900, 1, 1, 4, 59, 59), 0, "19:00:00  December 31, 1969"},
        // Readings from 1900 to 1968, and instants after 2038-01-19 03:14:07.
        SaveDateRow{"ReadingFirstSecondOf1900", kEasternZone, kStandardNow, Utc(1900, 1, 1, 5), 0,
                    ""},
        SaveDateRow{"Reading1950", kEasternZone, kStandardNow, Utc(1950, 6, 1), 0, ""},
        SaveDateRow{"ReadingLastSecondOf1968", kEasternZone, kStandardNow,
                    Utc(1969, 1, 1, 4, 59, 59), 0, ""},
        SaveDateRow{"LastInstant_Utc", kUtcZone, kStandardNow, Utc(2038, 1, 19, 3, 14, 7), 0,
                    "03:14:07  January 19, 2038"},
        SaveDateRow{"AfterLastInstant_Utc", kUtcZone, kStandardNow, Utc(2038, 1, 19, 3, 14, 8), 0,
                    ""},
        SaveDateRow{"LastInstant_West", kEasternZone, kStandardNow, Utc(2038, 1, 19, 3, 14, 7), 0,
                    "22:14:07  January 18, 2038"},
        SaveDateRow{"AfterLastInstant_West", kEasternZone, kStandardNow, Utc(2038, 1, 19, 3, 14, 8),
                    0, ""},
        SaveDateRow{"ReadingAsUtcAfterLastInstant_East", kCentralEuropeanZone, kStandardNow,
                    Utc(2038, 1, 19, 2, 14, 8), 0, ""},
        SaveDateRow{"Year2040", kEasternZone, kStandardNow, Utc(2040, 6, 1), 0, ""},
        // A reading in 1969 is shown when the instant it denotes is in 1970.
        SaveDateRow{"StartOf1970", kEasternZone, kStandardNow, Utc(1970, 1, 1), 0,
                    "19:00:00  December 31, 1969"},
        SaveDateRow{"SecondBefore1970", kEasternZone, kStandardNow, Utc(1969, 12, 31, 23, 59, 59),
                    0, ""},
        SaveDateRow{"TwoHoursInto1970", kEasternZone, kStandardNow, Utc(1970, 1, 1, 2), 0,
                    "21:00:00  December 31, 1969"},
        SaveDateRow{"LeadingZeros", kEasternZone, kStandardNow, Utc(2004, 3, 1, 14, 5, 3), 0,
                    "09:05:03  March 01, 2004"},
        SaveDateRow{"Longest", kUtcZone, kStandardNow, Utc(2037, 9, 30, 23, 59, 59), 0,
                    "23:59:59  September 30, 2037"},
        SaveDateRow{"Longest_DaylightNow", kEasternZone, kDaylightNow, Utc(2037, 10, 1, 3, 59, 59),
                    0, "23:59:59  September 30, 2037"},
        SaveDateRow{"Shortest", kUtcZone, kStandardNow, Utc(1999, 5, 1), 0,
                    "00:00:00  May 01, 1999"},
        // A fraction of a second is dropped, not rounded.
        SaveDateRow{"SubSecond", kEasternZone, kStandardNow, Utc(2004, 3, 3, 19, 5, 9), 999'999'999,
                    "14:05:09  March 03, 2004"}),
    [](const ::testing::TestParamInfo<SaveDateRow>& row) { return std::string(row.param.name); });

class LastSaveDate : public ::testing::Test {
 protected:
  AppDirectory m_dir;
  ScopedTimeZone m_zone{kEasternZone};
  ScopedNow m_now{kStandardNow};
};

// Only the last-write time counts: not the length, not the contents, and it
// is read afresh on every call.
TEST_F(LastSaveDate, ContentsPlayNoPart) {
  const Instant written = Utc(2004, 3, 3, 19, 5, 9);
  for (std::string_view contents : {std::string_view(), std::string_view("\x80\x02\x58 stamp")}) {
    ASSERT_TRUE(m_dir.WriteStamp(written, 0, contents));
    Buffer buffer;
    ASSERT_EQ(CallRaising(buffer), std::nullopt);
    EXPECT_EQ(buffer.Text(), "14:05:09  March 03, 2004") << contents.size() << " bytes";
  }
  ASSERT_TRUE(m_dir.WriteStamp(Utc(2004, 3, 3, 19, 5, 10)));
  Buffer buffer;
  ASSERT_EQ(CallRaising(buffer), std::nullopt);
  EXPECT_EQ(buffer.Text(), "14:05:10  March 03, 2004");
}

// Every way the open can fail raises 2564 and leaves the buffer as it was.
TEST_F(LastSaveDate, OpenFailuresRaise2564) {
  struct Row {
    const char* name;
    void (*arrange)(const AppDirectory& dir);
  } const rows[] = {
      {"no application directory",
       [](const AppDirectory&) {
         std::snprintf(g_szAppDirectory, sizeof g_szAppDirectory, "%s", "None");
         ComposeDataPaths();
       }},
      {"missing directory",
       [](const AppDirectory& dir) {
         std::snprintf(g_szAppDirectory, sizeof g_szAppDirectory, "%s/absent", dir.Path().c_str());
         ComposeDataPaths();
       }},
      {"missing file", [](const AppDirectory&) {}},
      {"directory in its place",
       [](const AppDirectory& dir) {
         ASSERT_TRUE(std::filesystem::create_directory(dir.StampPath()));
       }},
  };
  for (const Row& row : rows) {
    AppDirectory dir;
    row.arrange(dir);
    Buffer buffer;
    EXPECT_EQ(CallRaising(buffer), ERR_STAMP_OPEN) << row.name;
    EXPECT_TRUE(buffer.Untouched()) << row.name;
  }
}

// One step of the save stamp's life failing in turn, as (step, failure, what
// the query then gives). Every open failure raises 2564; the contents are
// never read, so a failing read changes nothing; a failing close raises the
// file error with the backend's own error number. Nothing stays open.
struct StampFaultCase {
  const char* name;
  FileOperation operation;
  FileFailure failure;
  Outcome expected;
};
VELLUMAR_PRINT_AS_CASE_NAME(StampFaultCase)

const StampFaultCase kStampFaults[] = {
    {"OpenNotFound", FileOperation::open, FileFailure::notFound, Outcome::Script(ERR_STAMP_OPEN)},
    {"OpenAccessDenied", FileOperation::open, FileFailure::accessDenied,
     Outcome::Script(ERR_STAMP_OPEN)},
    {"OpenSharingViolation", FileOperation::open, FileFailure::sharingViolation,
     Outcome::Script(ERR_STAMP_OPEN)},
    {"OpenTooManyOpenFiles", FileOperation::open, FileFailure::tooManyOpenFiles,
     Outcome::Script(ERR_STAMP_OPEN)},
    {"StatusIoError", FileOperation::status, FileFailure::ioError, Outcome::Script(ERR_STAMP_OPEN)},
    {"ReadIoError", FileOperation::read, FileFailure::ioError,
     Outcome::Answer("14:05:09  March 03, 2004")},
    {"CloseIoError", FileOperation::close, FileFailure::ioError,
     Outcome::File(CFileException::hardIO, OsErrorFor(FileFailure::ioError))},
};

class StampFaultTest : public LastSaveDate, public ::testing::WithParamInterface<StampFaultCase> {};

TEST_P(StampFaultTest, ReachesTheCallerAndLeavesNothingOpen) {
  ASSERT_TRUE(m_dir.WriteStamp(Utc(2004, 3, 3, 19, 5, 9)));
  ScopedFileSeam seam(GetParam().operation, GetParam().failure);
  EXPECT_EQ(CallText(GetLastSaveDate), GetParam().expected);  // a raise leaves the buffer alone
  EXPECT_EQ(seam.opened(), seam.closed());
}

INSTANTIATE_TEST_SUITE_P(Steps, StampFaultTest, ::testing::ValuesIn(kStampFaults),
                         testing::CaseName());

// The status comes from the open, which holds the file without sharing, and
// the contents are never read: one open and one close is all a query does.
TEST_F(LastSaveDate, OneOpenOneCloseAndNoRead) {
  ASSERT_TRUE(m_dir.WriteStamp(Utc(2004, 3, 3, 19, 5, 9)));
  ScopedFileSeam seam;
  int reads = 0;
  seam.BeforeRead([&reads](platform::FileHandle) { ++reads; });
  EXPECT_EQ(CallText(GetLastSaveDate), Outcome::Answer("14:05:09  March 03, 2004"));
  EXPECT_EQ(seam.opened(), 1);
  EXPECT_EQ(seam.closed(), 1);
  EXPECT_EQ(reads, 0);
}

// The query, plain and with every injected failure at every step, counted
// in the process's own handle table rather than by the seam: a failed close
// or status read has still let go of the handle.
TEST_F(LastSaveDate, NoQueryLeavesAHandleOpen) {
  ASSERT_TRUE(m_dir.WriteStamp(Utc(2004, 3, 3, 19, 5, 9)));
  const int handlesBefore = testing::OpenHandleCount();
  EXPECT_EQ(CallText(GetLastSaveDate).kind, Outcome::answered);
  EXPECT_EQ(testing::OpenHandleCount(), handlesBefore);
  for (FileOperation operation :
       {FileOperation::open, FileOperation::status, FileOperation::read, FileOperation::close}) {
    for (FileFailure failure :
         {FileFailure::notFound, FileFailure::accessDenied, FileFailure::sharingViolation,
          FileFailure::tooManyOpenFiles, FileFailure::ioError}) {
      {
        ScopedFileSeam seam(operation, failure);
        CallText(GetLastSaveDate);
      }
      EXPECT_EQ(testing::OpenHandleCount(), handlesBefore)
          << testing::FileFaultName(operation, failure);
    }
  }
}

// The host's locale set to German: the C library then names the months in
// German, and the text still does not change a letter.
class ScopedGermanLocale {
 public:
  ScopedGermanLocale() {
    m_previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) return;
    BuildLocale();
  }
  // The locale goes back first; then LOCPATH, then the built locale.
  ~ScopedGermanLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
  bool Active() const { return m_reason.empty(); }
  const std::string& Reason() const { return m_reason; }

 private:
  // No installed de_DE.UTF-8: compiled from the system's locale sources into
  // a directory of our own, when localedef and the sources are there.
  void BuildLocale() {
    try {
      m_built.emplace();
    } catch (const std::exception&) {
      m_reason = "no de_DE.UTF-8 locale, and no directory to build one in";
      return;
    }
    const testing::ProcessResult localedef =
        testing::RunProgram({"localedef", "-i", "de_DE", "-f", "UTF-8", *m_built / "de_DE.UTF-8"});
    if (localedef.exitCode != 0) {
      m_reason =
          "no de_DE.UTF-8 locale installed, and localedef cannot build one: " + localedef.err;
      return;
    }
    m_locPath.emplace("LOCPATH", m_built->path().c_str());
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
      m_reason = "the de_DE.UTF-8 locale built by localedef does not load";
    }
  }

  std::string m_previous;
  std::optional<testing::TempDir> m_built;
  std::optional<testing::ScopedEnv> m_locPath;
  std::string m_reason;
};

TEST_F(LastSaveDate, GermanLocaleChangesNoLetter) {
  ASSERT_TRUE(m_dir.WriteStamp(Utc(2004, 3, 3, 19, 5, 9)));
  ScopedGermanLocale german;
  if (!german.Active()) GTEST_SKIP() << german.Reason();
  std::tm march{};
  march.tm_mon = 2;
  char name[32];
  ASSERT_GT(std::strftime(name, sizeof name, "%B", &march), 0u);
  ASSERT_STREQ(name, "M\xC3\xA4rz") << "the German locale is not in effect";
  Buffer buffer;
  ASSERT_EQ(CallRaising(buffer), std::nullopt);
  EXPECT_EQ(buffer.Text(), "14:05:09  March 03, 2004");
}

}  // namespace
}  // namespace vellumar
