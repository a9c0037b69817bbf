// Composing the two data-file paths from the profile value.
#include "library/data_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/case_name.h"

namespace vellumar {
namespace {

struct PathCase {
  const char* name;
  std::string directory;
  std::string infoPath;   // expected g_szInfoFilePath
  std::string stampPath;  // expected g_szStampFilePath
};
VELLUMAR_PRINT_AS_CASE_NAME(PathCase)

const std::string k242(242, 'd');
const std::string k243(243, 'd');
const std::string k247(247, 'd');
const std::string k254(254, 'd');

const PathCase kPathCases[] = {
    {"OrdinaryDirectory", "C:\\Apps\\Demo", "C:\\Apps\\Demo\\vers_res.inf",
     "C:\\Apps\\Demo\\app.ver"},
    {"NativeDirectory", "/srv/apps/demo", "/srv/apps/demo\\vers_res.inf",
     "/srv/apps/demo\\app.ver"},
    {"NoneLowerCase", "none", "", ""},
    {"NoneCapitals", "NONE", "", ""},
    {"NoneInitialCapital", "None", "", ""},
    {"NoneMixed", "nOnE", "", ""},
    {"NonePrefixIsADirectory", "nonesuch", "nonesuch\\vers_res.inf", "nonesuch\\app.ver"},
    {"NoneWithBlankIsADirectory", "none ", "none \\vers_res.inf", "none \\app.ver"},
    {"EmptyValue", "", "\\vers_res.inf", "\\app.ver"},
    {"TrailingBackslashKept", "C:\\Apps\\", "C:\\Apps\\\\vers_res.inf", "C:\\Apps\\\\app.ver"},
    {"LongestThatFitsBoth", k242, k242 + "\\vers_res.inf", k242 + "\\app.ver"},
    // Too long for the information file: both refused, so the paths stay
    // both empty or both whole.
    {"TooLongForInfoFile", k243, "", ""},
    {"FitsOnlyTheStampFile", k247, "", ""},
    {"LongestProfileValue", k254, "", ""},
};

class DataPathsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DataPathsTest, ComposesBothPathsOrNeither) {
  const PathCase& c = GetParam();
  // Stale content must not survive a refusal.
  std::memset(g_szInfoFilePath, 'x', sizeof g_szInfoFilePath - 1);
  std::memset(g_szStampFilePath, 'x', sizeof g_szStampFilePath - 1);
  std::memset(g_szAppDirectory, 0, sizeof g_szAppDirectory);
  std::memcpy(g_szAppDirectory, c.directory.data(), c.directory.size());

  ComposeDataPaths();

  EXPECT_EQ(std::string(g_szInfoFilePath), c.infoPath);
  EXPECT_EQ(std::string(g_szStampFilePath), c.stampPath);
  EXPECT_EQ(std::string(g_szAppDirectory), c.directory) << "the value itself is kept as read";
}

INSTANTIATE_TEST_SUITE_P(Values, DataPathsTest, ::testing::ValuesIn(kPathCases),
                         vellumar::testing::CaseName());

TEST(DataPaths, LongestDirectoryFillsTheInfoPathToItsLastByte) {
  std::memset(g_szAppDirectory, 0, sizeof g_szAppDirectory);
  std::memset(g_szAppDirectory, 'd', 242);
  ComposeDataPaths();
  EXPECT_EQ(std::strlen(g_szInfoFilePath), 255u);
  EXPECT_EQ(std::strlen(g_szStampFilePath), 250u);
}

}  // namespace
}  // namespace vellumar
