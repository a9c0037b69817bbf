// Reading the user's profile.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <optional>
#include <string>

#include "support/case_name.h"
#include "support/scoped_env.h"

#include "support/test_files.h"

namespace vellumar::platform {
namespace {

struct LookupCase {
  const char* name;
  std::string text;
  std::optional<std::string> value;  // nullopt: the key is not found
};
VELLUMAR_PRINT_AS_CASE_NAME(LookupCase)

const LookupCase kLookupCases[] = {
    {"Plain", "[Pelorin]\nApplicationDirectory=/a/b\n", "/a/b"},
    {"NamesIgnoreCase", "[pELORIN]\napplicationdirectory=/a\n", "/a"},
    {"BlanksTrimmed", "  [ Pelorin ]  \n\t ApplicationDirectory \t=  /a b  \r\n", "/a b"},
    {"CrLfLines", "[Pelorin]\r\nApplicationDirectory=/a\r\n", "/a"},
    {"DoubleQuotesRemoved", "[Pelorin]\nApplicationDirectory=\" /a \"\n", " /a "},
    {"SingleQuotesRemoved", "[Pelorin]\nApplicationDirectory='/a'\n", "/a"},
    {"UnmatchedQuotesKept", "[Pelorin]\nApplicationDirectory=\"/a'\n", "\"/a'"},
    {"InnerQuotesKept", "[Pelorin]\nApplicationDirectory=/a\"b\"\n", "/a\"b\""},
    {"EmptyValue", "[Pelorin]\nApplicationDirectory=\n", ""},
    {"SemicolonInsideValueKept", "[Pelorin]\nApplicationDirectory=/a;b ; c\n", "/a;b ; c"},
    {"CommentLineSkipped", "[Pelorin]\n;ApplicationDirectory=/x\nApplicationDirectory=/a\n", "/a"},
    {"IndentedCommentSkipped", "[Pelorin]\n  ; ApplicationDirectory=/x\n", std::nullopt},
    {"FirstKeyWins", "[Pelorin]\nApplicationDirectory=/a\nApplicationDirectory=/b\n", "/a"},
    {"FirstSectionWins", "[Pelorin]\nOther=1\n[Pelorin]\nApplicationDirectory=/b\n", std::nullopt},
    {"OtherSectionIgnored", "[Other]\nApplicationDirectory=/x\n[Pelorin]\nApplicationDirectory=/a",
     "/a"},
    {"KeyOutsideAnySection", "ApplicationDirectory=/x\n", std::nullopt},
    {"KeyPrefixIsNotTheKey", "[Pelorin]\nApplicationDirectoryX=/x\n", std::nullopt},
    {"LineWithoutEqualsIgnored", "[Pelorin]\nApplicationDirectory\nApplicationDirectory=/a", "/a"},
    {"EqualsInValueKept", "[Pelorin]\nApplicationDirectory=/a=b\n", "/a=b"},
    {"NoFinalNewline", "[Pelorin]\nApplicationDirectory=/a", "/a"},
    {"EmptyProfile", "", std::nullopt},
};

class ProfileLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookupTest, FindsTheValueAsTheProfileReaderDoes) {
  const LookupCase& c = GetParam();
  std::string_view found;
  bool ok = FindProfileValue(c.text, "Pelorin", "ApplicationDirectory", found);
  ASSERT_EQ(ok, c.value.has_value());
  if (ok) {
    EXPECT_EQ(std::string(found), *c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ProfileLookupTest, ::testing::ValuesIn(kLookupCases),
                         vellumar::testing::CaseName());

using testing::ScopedEnv;

std::string Read(std::size_t capacity = 255) {
  char buffer[300];
  std::memset(buffer, '#', sizeof buffer);
  std::size_t n = ReadProfileString("Pelorin", "ApplicationDirectory", "none", buffer, capacity);
  EXPECT_EQ(buffer[n], '\0');
  EXPECT_EQ(buffer[n + 1], '#') << "nothing is written past the value's NUL";
  return std::string(buffer, n);
}

TEST(ProfileFile, LocationFollowsWininiThenXdgThenHome) {
  vellumar::testing::TempDir dir;
  testing::WriteText(dir / "explicit.ini", "[Pelorin]\nApplicationDirectory=from-winini\n");
  std::filesystem::create_directories(dir / "xdg");
  testing::WriteText(dir / "xdg/win.ini", "[Pelorin]\nApplicationDirectory=from-xdg\n");
  std::filesystem::create_directories(dir / "home/.config");
  testing::WriteText(dir / "home/.config/win.ini", "[Pelorin]\nApplicationDirectory=from-home\n");

  ScopedEnv home("HOME", (dir / "home").c_str());
  {
    ScopedEnv wininiPath("WININI", (dir / "explicit.ini").c_str());
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(Read(), "from-winini");
  }
  {
    ScopedEnv wininiPath("WININI", "");  // empty counts as not set
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(Read(), "from-xdg");
  }
  {
    ScopedEnv wininiPath("WININI", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(Read(), "from-home");
  }
  {
    ScopedEnv wininiPath("WININI", (dir / "missing.ini").c_str());
    EXPECT_EQ(Read(), "none") << "a missing profile gives the default";
  }
}

TEST(ProfileFile, ValueIsCutToCapacityMinusOneWhateverTheLineLength) {
  vellumar::testing::TempDir dir;
  const std::string longValue(100000, 'v');
  testing::WriteText(dir / "w.ini", "[Pelorin]\nApplicationDirectory=" + longValue + "\n");
  ScopedEnv wininiPath("WININI", (dir / "w.ini").c_str());
  EXPECT_EQ(Read(255), std::string(254, 'v'));
  EXPECT_EQ(Read(1), "");
}

TEST(ProfileFile, DefaultIsCutLikeAValue) {
  ScopedEnv wininiPath("WININI", "/nonexistent/w.ini");
  EXPECT_EQ(Read(3), "no");
}

}  // namespace
}  // namespace vellumar::platform
