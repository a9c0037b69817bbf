// kzlogger and the POSIX side of its life: stopped by the stop signals, and
// started with no terminal and its output on /dev/null, as a module starts
// it, writing to the XDG state log with mode 0600.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "logger/logger_client.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"
#include "support/case_name.h"
#include "support/logger_exchange.h"
#include "support/processes.h"

namespace vellumar::logger {
namespace {

using testing::Spawned;
using testing::StartKzlogger;

int KzlogSend(const std::string& text) {
  return Spawned({VELLUMAR_KZLOG_PATH, "send", text}).Wait();
}

class KzloggerPosixTest : public ::testing::Test {
 protected:
  testing::LoggerNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
};

class StopSignalTest : public KzloggerPosixTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, ClearsItsWindowAndRemovesItsObjects) {
  Spawned logger = StartKzlogger({"--output", log});
  const LoggerWindow window = LoggerFindWindow();
  // A module that has the block open sees the window cleared.
  platform::SharedMapping held =
      platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read);
  platform::SharedView view = held.MapView();
  ASSERT_TRUE(view);
  logger.Signal(GetParam());
  EXPECT_EQ(logger.Wait(5000), 0);
  std::uint32_t inBlock = 1;
  std::memcpy(&inBlock, view.data(), sizeof inBlock);
  EXPECT_EQ(inBlock, 0u);
  EXPECT_FALSE(platform::SharedMapping::Open(kMappedFileName, platform::BlockAccess::read));
  EXPECT_FALSE(platform::NamedEvent::Open(kMapEventName));
  EXPECT_FALSE(platform::NamedEvent::Open(kDebugEventName));
  EXPECT_FALSE(platform::WindowExists(window));
  EXPECT_EQ(LoggerFindWindow(), 0u);
  // And the next logger starts at once.
  Spawned next = StartKzlogger({"--output", log});
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& p) {
                           switch (p.param) {
                             case SIGINT:
                               return std::string("SIGINT");
                             case SIGTERM:
                               return std::string("SIGTERM");
                             default:
                               return std::string("SIGHUP");
                           }
                         });

// Started with no terminal and its output going nowhere (as a module starts
// it), it writes to the log file in the user's state directory.
struct StateDirCase {
  const char* name;
  bool stateHome;  // XDG_STATE_HOME set; otherwise only HOME
  const char* logPath;
};

VELLUMAR_PRINT_AS_CASE_NAME(StateDirCase)

class StateLogTest : public KzloggerPosixTest,
                     public ::testing::WithParamInterface<StateDirCase> {};

TEST_P(StateLogTest, WithoutATerminalWritesToTheStateLog) {
  testing::ScopedEnv state("XDG_STATE_HOME",
                           GetParam().stateHome ? (dir / "state").c_str() : nullptr);
  testing::ScopedEnv home("HOME", (dir / "home").c_str());
  Spawned logger = StartKzlogger({}, {.devNullStdio = true, .newSession = true});
  EXPECT_EQ(KzlogSend("detached"), 0);
  EXPECT_EQ(testing::ReadFile(dir / GetParam().logPath), "detached\n");
  struct stat st;
  ASSERT_EQ(::stat((dir / GetParam().logPath).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "the log is the user's own";
}

INSTANTIATE_TEST_SUITE_P(Dirs, StateLogTest,
                         ::testing::Values(StateDirCase{"XdgStateHome", true,
                                                        "state/kzlogger/kzlogger.log"},
                                           StateDirCase{"HomeDefault", false,
                                                        "home/.local/state/kzlogger/kzlogger.log"}),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
