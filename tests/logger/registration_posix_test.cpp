// The logger's block is trusted only while it is the user's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "logger/logger_client.h"
#include "platform/posix/user_objects.h"
#include "platform/shared_block.h"
#include "support/scoped_env.h"

namespace vellumar::logger {
namespace {

TEST(LoggerBlockPosixTest, BlockOpenToOtherUsersIsNotTrusted) {
  testing::PrivateNamespace ns;
  platform::SharedMapping block = platform::SharedMapping::Create(kMappedFileName, 4096);
  ASSERT_TRUE(block);
  const std::uint32_t window = 0x1234u;
  std::memcpy(block.MapView().data(), &window, sizeof window);
  ASSERT_EQ(LoggerFindWindow(), window);
  char native[platform::posix::kMaxObjectName];
  ASSERT_TRUE(platform::posix::PerUserObjectName(kMappedFileName, native, sizeof native));
  ASSERT_EQ(::chmod(("/dev/shm" + std::string(native)).c_str(), 0644), 0);
  EXPECT_EQ(LoggerFindWindow(), 0u);
}

}  // namespace
}  // namespace vellumar::logger
