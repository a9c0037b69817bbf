// The user's files natively: the XDG state directory, and modes 0700 and
// 0600 for what is made for the user alone, with no descriptor handed on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/user_files.h"
#include "support/case_name.h"
#include "support/environment.h"
#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

struct StateDirCase {
  const char* name;
  const char* xdgStateHome;  // nullptr: unset
  const char* home;
  const char* expected;
};
VELLUMAR_PRINT_AS_CASE_NAME(StateDirCase)

const StateDirCase kStateDirs[] = {
    {"XdgStateHomeAbsolute", "/x/state", "/h", "/x/state"},
    {"XdgStateHomeRelativeIsIgnored", "x/state", "/h", "/h/.local/state"},
    {"XdgStateHomeEmptyIsIgnored", "", "/h", "/h/.local/state"},
    {"XdgStateHomeUnset", nullptr, "/h", "/h/.local/state"},
};

class StateDirectoryTest : public ::testing::TestWithParam<StateDirCase> {};

TEST_P(StateDirectoryTest, FollowsTheXdgRules) {
  testing::ScopedEnv state("XDG_STATE_HOME", GetParam().xdgStateHome);
  testing::ScopedEnv home("HOME", GetParam().home);
  EXPECT_EQ(UserStateDirectory(), std::optional<std::string>(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, StateDirectoryTest, ::testing::ValuesIn(kStateDirs),
                         testing::CaseName());

TEST(StateDirectoryWithoutHomeTest, TheUsersEntryGivesTheHome) {
  const passwd* pw = ::getpwuid(::geteuid());
  const std::optional<std::string> expected =
      pw != nullptr ? std::optional<std::string>(std::string(pw->pw_dir) + "/.local/state")
                    : std::nullopt;
  for (const char* unsetOrEmpty : {static_cast<const char*>(nullptr), ""}) {
    testing::ScopedEnv state("XDG_STATE_HOME", nullptr);
    testing::ScopedEnv home("HOME", unsetOrEmpty);
    EXPECT_EQ(UserStateDirectory(), expected);
  }
}

TEST(UserFilesPosixTest, WhatIsMadeIsTheUsersAloneAndNotInherited) {
  testing::TempDir dir;
  std::string failed;
  ASSERT_FALSE(CreateParentDirectories(dir / "made/file.log", failed));
  struct stat st;
  ASSERT_EQ(::stat((dir / "made").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::FILE* out = OpenPrivateAppend(dir / "made/file.log");
  ASSERT_NE(out, nullptr);
  EXPECT_NE(::fcntl(::fileno(out), F_GETFD) & FD_CLOEXEC, 0);
  std::fclose(out);
  ASSERT_EQ(::stat((dir / "made/file.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace vellumar::platform
