// kzlogger and the POSIX side of its life: stopped by the hang-up signal as
// by the other stop requests, and started with no terminal and its output
// on /dev/null, as a module starts it, writing to the XDG state log with
// mode 0600.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/logger_exchange.h"
#include "support/posix/posix_only.h"
#include "support/temp_files.h"
#include "tools/kzlogger_fixture.h"

namespace vellumar::logger {
namespace {

using kzlogger_testing::KzloggerTest;
using kzlogger_testing::KzlogSend;
using kzlogger_testing::StopCase;
using kzlogger_testing::StopSignalTest;
using testing::Child;
using testing::Redirect;

// The end of the terminal session.
bool HangUp(Child& logger) {
  const pid_t pid = testing::posix::ProcessId(logger);
  return pid > 0 && ::kill(pid, SIGHUP) == 0;
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(StopCase{"SIGHUP", HangUp}),
                         testing::CaseName());

// Started with no terminal and its output going nowhere (as a module starts
// it), it writes to the log file in the user's state directory.
struct StateDirCase {
  const char* name;
  bool stateHome;  // XDG_STATE_HOME set; otherwise only HOME
  const char* logPath;
};

VELLUMAR_PRINT_AS_CASE_NAME(StateDirCase)

class StateLogTest : public KzloggerTest, public ::testing::WithParamInterface<StateDirCase> {};

TEST_P(StateLogTest, WithoutATerminalWritesToTheStateLog) {
  testing::ScopedEnv state("XDG_STATE_HOME",
                           GetParam().stateHome ? (dir / "state").c_str() : nullptr);
  testing::ScopedEnv home("HOME", (dir / "home").c_str());
  Child logger = testing::StartKzlogger({}, {.input = Redirect::NullDevice(),
                                             .output = Redirect::NullDevice(),
                                             .error = Redirect::NullDevice(),
                                             .newSession = true});
  EXPECT_EQ(KzlogSend("detached"), 0);
  const std::string logPath = dir / GetParam().logPath;
  EXPECT_EQ(testing::ReadFile(logPath), "detached\n");
  ASSERT_TRUE(std::filesystem::exists(logPath));
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::status(logPath).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none)
      << "the log is the user's own";
}

INSTANTIATE_TEST_SUITE_P(Dirs, StateLogTest,
                         ::testing::Values(StateDirCase{"XdgStateHome", true,
                                                        "state/kzlogger/kzlogger.log"},
                                           StateDirCase{"HomeDefault", false,
                                                        "home/.local/state/kzlogger/kzlogger.log"}),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
