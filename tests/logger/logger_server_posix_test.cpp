// A logger that fails halfway through its start leaves nothing behind. The
// failure is made real: a namespace name so long that the window's native
// name (a socket address, at most 107 bytes) cannot hold it, while the
// block's and the events' names still fit.
#include <gtest/gtest.h>

#include <string>

#include "logger/logger_server.h"
#include "support/environment.h"
#include "support/private_namespace.h"

namespace vellumar::logger {
namespace {

TEST(LoggerServerPosixTest, AFailedStartRemovesWhatItMade) {
  testing::PrivateNamespace ns;
  // Inside the test's namespace, so that its clean-up finds any leftover.
  testing::ScopedEnv longName("VELLUMAR_NAMESPACE",
                              (ns.name() + "." + std::string(110, 'n')).c_str());
  ServerStartError error;
  LoggerServer server = LoggerServer::Start(4096, &error);
  EXPECT_FALSE(server);
  EXPECT_EQ(error.step, ServerStartError::Step::window);
  EXPECT_TRUE(error.error);
  EXPECT_FALSE(platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read));
  EXPECT_FALSE(platform::NamedEvent::Open(kMapEventName));
  EXPECT_FALSE(platform::NamedEvent::Open(kDebugEventName));
  EXPECT_EQ(LoggerFindWindow(), 0u);
}

}  // namespace
}  // namespace vellumar::logger
