// Named objects count only when they are the user's own and closed to
// everyone else: an object of that name that group or others may reach
// (planted, or opened up after it was made) is refused by every kind of
// object that opens one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/instance_lock.h"
#include "platform/named_event.h"
#include "platform/posix/user_objects.h"
#include "platform/registered_message.h"
#include "platform/shared_block.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/private_namespace.h"

namespace vellumar::platform {
namespace {

std::string ShmPath(const char* name) {
  char native[posix::kMaxObjectName];
  EXPECT_TRUE(posix::PerUserObjectName(name, native, sizeof native));
  return std::string("/dev/shm") + native;
}

// Makes the object that the row's opener will meet, with mode 0600.
struct OwnerCase {
  const char* name;
  const char* object;              // its name in the namespace
  void (*make)(const char* name);  // creates it as its own kind does
  bool (*opens)();                 // in another process: whether it is taken as ours
};

void MakeBlock(const char* name) { SharedMapping::Create(name, 64).Close(); }
void MakeEvent(const char* name) { NamedEvent::Create(name, EventReset::manual, false).Close(); }
void MakeRegistry(const char*) { ASSERT_NE(RegisterMessage("first message"), 0u); }
// A lock object left behind: the name stays, nobody holds it.
void MakeLockObject(const char* name) {
  char native[posix::kMaxObjectName];
  ASSERT_TRUE(posix::PerUserObjectName(name, native, sizeof native));
  int fd = ::shm_open(native, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
}

const OwnerCase kOwnerCases[] = {
    {"SharedBlock", "TestBlock", MakeBlock,
     [] { return static_cast<bool>(SharedMapping::Open("TestBlock", BlockAccess::write)); }},
    {"NamedEvent", "TestEvent", MakeEvent,
     [] { return static_cast<bool>(NamedEvent::Open("TestEvent")); }},
    {"MessageRegistry", "vellumar-messages", MakeRegistry,
     [] { return RegisterMessage("second message") != 0; }},
    {"InstanceLock", "TestInstance", MakeLockObject,
     [] {
       // Held to the child's end (it never runs destructors), so that the
       // name stays for the next row step.
       LockResult result = LockResult::failed;
       auto* held = new InstanceLock(InstanceLock::Acquire("TestInstance", &result));
       return static_cast<bool>(*held) || result != LockResult::failed;
     }},
};

class ObjectOwnerTest : public ::testing::TestWithParam<OwnerCase> {
 protected:
  testing::PrivateNamespace ns;
};

// The row's opener in a child process: 'y' when it took the object.
std::string OpensInChild(bool (*opens)()) {
  return testing::RunInChild(
             [opens](testing::ChildReport& report) { report.Write(opens() ? "y" : "n"); })
      .out;
}

TEST_P(ObjectOwnerTest, IsTakenOnlyWhileClosedToOthers) {
  const OwnerCase& c = GetParam();
  c.make(c.object);
  const std::string path = ShmPath(c.object);
  EXPECT_EQ(OpensInChild(c.opens), "y");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(OpensInChild(c.opens), "n") << "open to the group";
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  EXPECT_EQ(OpensInChild(c.opens), "n") << "open to others";
}

INSTANTIATE_TEST_SUITE_P(Objects, ObjectOwnerTest, ::testing::ValuesIn(kOwnerCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ObjectNameTest, CarriesTheNamespaceAndTheUser) {
  char native[posix::kMaxObjectName];
  const std::string user = std::to_string(::geteuid());
  {
    testing::ScopedEnv none("VELLUMAR_NAMESPACE", nullptr);
    ASSERT_TRUE(posix::PerUserObjectName("a/b\\c", native, sizeof native));
    EXPECT_EQ(std::string(native), "/a_b_c." + user);
  }
  testing::ScopedEnv ns("VELLUMAR_NAMESPACE", "ns");
  ASSERT_TRUE(posix::PerUserObjectName("name", native, sizeof native));
  EXPECT_EQ(std::string(native), "/ns.name." + user);
  EXPECT_FALSE(posix::PerUserObjectName(std::string(300, 'x').c_str(), native, sizeof native));
}

}  // namespace
}  // namespace vellumar::platform
