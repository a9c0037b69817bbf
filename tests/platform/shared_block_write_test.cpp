// The shared block as a sender uses it: opened for writing by another
// process than its creator, mapped whole, with the size the creator gave it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/shared_block.h"
#include "support/child.h"
#include "support/private_namespace.h"

namespace vellumar::platform {
namespace {

constexpr char kName[] = "TestBlock";

class SharedBlockWriteTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
  ~SharedBlockWriteTest() override { SharedMapping::Remove(kName); }
};

TEST_F(SharedBlockWriteTest, AnotherProcessWritesTheWholeBlockItLearntTheSizeOf) {
  SharedMapping created = SharedMapping::Create(kName, 5000);
  ASSERT_TRUE(created);
  SharedView mine = created.MapView();
  ASSERT_TRUE(mine);
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    SharedMapping opened = SharedMapping::Open(kName, BlockAccess::write);
    SharedView view = opened.MapView();
    const std::string size = std::to_string(view.size());
    if (view) {
      char* p = static_cast<char*>(view.data());
      p[0] = 'A';
      p[view.size() - 1] = 'Z';  // the last byte is within reach, not one more
    }
    report.Write(size);
  });
  EXPECT_EQ(child.out, "5000");
  const char* p = static_cast<const char*>(mine.data());
  EXPECT_EQ(p[0], 'A');
  EXPECT_EQ(p[4999], 'Z');
}

}  // namespace
}  // namespace vellumar::platform
