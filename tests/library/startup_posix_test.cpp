// Start-up through the real load path, as the POSIX backend shows it: the
// library's client registers its message at load, which leaves the user's
// registry of message names in shared memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/child.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar {
namespace {

TEST(StartupPosix, LoadRegistersWithTheLoggerClient) {
  testing::TempDir dir;
  testing::PrivateNamespace ns;
  testing::WriteText(dir / "win.ini", "[Pelorin]\nApplicationDirectory=none\n");
  testing::ProcessResult r = testing::RunProgram(
      {testing::Paths().CallTool(), "--library", testing::Paths().Library(), "--all"},
      {.environment = {"WININI=" + (dir / "win.ini"), ns.EnvironmentEntry()}});
  ASSERT_EQ(r.exitCode, 3) << r.err;
  char native[256];
  std::snprintf(native, sizeof native, "/dev/shm/%s.vellumar-messages.%u", ns.name().c_str(),
                static_cast<unsigned>(::geteuid()));
  EXPECT_TRUE(std::filesystem::exists(native)) << "no message was registered at load";
}

}  // namespace
}  // namespace vellumar
