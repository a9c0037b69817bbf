// The logger's block as the client meets it natively: trusted only while it
// is the user's own, and looked at without leaving a descriptor open or a
// mapping behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "logger/logger_client.h"
#include "platform/posix/user_objects.h"
#include "platform/shared_block.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar::logger {
namespace {

class LoggerBlockPosixTest : public ::testing::Test {
 protected:
  // The logger's block with `window` in it, as a test playing the logger
  // creates it.
  platform::SharedMapping CreateBlock(std::uint32_t window) {
    platform::SharedMapping block = platform::SharedMapping::Create(kMappedFileName, 4096);
    EXPECT_TRUE(block);
    std::memcpy(block.MapView().data(), &window, sizeof window);
    return block;
  }

  testing::PrivateNamespace ns;
};

TEST_F(LoggerBlockPosixTest, BlockOpenToOtherUsersIsNotTrusted) {
  platform::SharedMapping block = CreateBlock(0x1234u);
  ASSERT_EQ(LoggerFindWindow(), 0x1234u);
  char native[platform::posix::kMaxObjectName];
  ASSERT_TRUE(platform::posix::PerUserObjectName(kMappedFileName, native, sizeof native));
  ASSERT_EQ(::chmod(("/dev/shm" + std::string(native)).c_str(), 0644), 0);
  EXPECT_EQ(LoggerFindWindow(), 0u);
}

TEST_F(LoggerBlockPosixTest, FindingTheWindowLeavesNothingOpenOrMapped) {
  platform::SharedMapping block = CreateBlock(5);
  auto mappings = [] {
    FILE* f = std::fopen("/proc/self/maps", "r");
    int count = 0;
    char line[512];
    while (std::fgets(line, sizeof line, f)) count += std::strstr(line, "/dev/shm/") != nullptr;
    std::fclose(f);
    return count;
  };
  const int before = mappings();
  const int fdsBefore = testing::OpenHandleCount();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(LoggerFindWindow(), 5u);
  EXPECT_EQ(mappings(), before);
  EXPECT_EQ(testing::OpenHandleCount(), fdsBefore);
}

}  // namespace
}  // namespace vellumar::logger
