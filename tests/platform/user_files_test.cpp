// Directories and files for the user alone: what is created, what is kept,
// and what a failure names.
#include "platform/user_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

namespace fs = std::filesystem;

class UserFilesTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
};

TEST_F(UserFilesTest, CreatesEveryMissingDirectoryAboveThePathButNotThePath) {
  const std::string path = dir / "a/b/c/file.log";
  fs::create_directory(dir / "a");
  std::string failed = "untouched";
  EXPECT_FALSE(CreateParentDirectories(path, failed));
  EXPECT_EQ(failed, "untouched");
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(CreateParentDirectories(path, failed)) << "all there already";
}

TEST_F(UserFilesTest, NamesTheDirectoryThatCouldNotBeMade) {
  testing::WriteText(dir / "plain", "not a directory\n");
  std::string failed;
  EXPECT_TRUE(CreateParentDirectories(dir / "plain/sub/file.log", failed));
  EXPECT_EQ(failed, dir / "plain/sub");
}

TEST_F(UserFilesTest, AppendsToWhatIsThereAndCreatesWhatIsNot) {
  const std::string existing = dir / "existing.log";
  testing::WriteText(existing, "earlier\n");
  for (const std::string& path : {existing, dir / "new.log"}) {
    OsError error;
    std::FILE* out = OpenPrivateAppend(path, &error);
    ASSERT_NE(out, nullptr) << path;
    EXPECT_FALSE(error);
    std::fputs("later\n", out);
    std::fclose(out);
  }
  EXPECT_EQ(testing::ReadFile(existing), "earlier\nlater\n");
  EXPECT_EQ(testing::ReadFile(dir / "new.log"), "later\n");
}

TEST_F(UserFilesTest, AFileThatCannotBeOpenedGivesItsError) {
  OsError error;
  EXPECT_EQ(OpenPrivateAppend(dir / "missing/file.log", &error), nullptr);
  EXPECT_TRUE(error);
  EXPECT_FALSE(OsErrorText(error).empty());
}

}  // namespace
}  // namespace vellumar::platform
