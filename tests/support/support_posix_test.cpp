// The POSIX side of the test support: a child's standard input and session,
// the namespace's clean-up, another holder of a file's lock, and the
// pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/shared_block.h"
#include "support/child.h"
#include "support/posix/posix_only.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"
#include "support/waits.h"

namespace vellumar::testing {
namespace {

TEST(ChildPosix, InputIsWrittenAndClosed) {
  Child cat({"cat"});
  ASSERT_TRUE(cat.Started());
  EXPECT_TRUE(cat.Write("first\nsecond"));
  EXPECT_EQ(cat.ReadLine(), "first");
  cat.CloseInput();
  EXPECT_EQ(cat.ReadLine(), "second") << "the rest, at the end of the output";
  EXPECT_EQ(cat.Wait(), 0);
  EXPECT_FALSE(cat.Write("too late")) << "and the test program is not ended by SIGPIPE";
}

TEST(ChildPosix, WritingToAChildThatStoppedReadingFails) {
  Child gone({"true"});
  gone.Running();
  ASSERT_TRUE(WaitUntil([&] { return !gone.Running(); }, 5000));
  // Its input is still open on our side, but nobody reads it.
  EXPECT_FALSE(gone.Write(std::string(1 << 17, 'x')));
}

// A new session: no controlling terminal, for a program and for a piece of
// the test alike.
TEST(ChildPosix, NewSessionLeavesTheTerminalBehind) {
  ChildOptions alone;
  alone.newSession = true;
  ProcessResult body = RunInChild(
      [](ChildReport& report) {
        const bool leader = ::getsid(0) == ::getpid();
        const bool tty = ::open("/dev/tty", O_RDONLY | O_NOCTTY) >= 0;
        report.Write(std::string(leader ? "leader" : "member") + (tty ? " tty" : " no tty"));
      },
      alone);
  EXPECT_EQ(body.out, "leader no tty");
  ProcessResult program = RunProgram(
      {"sh", "-c", "if (exec </dev/tty) 2>/dev/null; then echo tty; else echo none; fi"}, alone);
  EXPECT_EQ(program.out, "none\n");
}

// Programs running in the namespace are stopped, and the objects left in it
// removed, when it ends.
TEST(PrivateNamespacePosix, EndsItsProgramsAndRemovesItsObjects) {
  std::optional<PrivateNamespace> ns(std::in_place);
  const std::string prefix = ns->name() + ".";
  Child sleeper({"sleep", "60"});  // inherits the namespace
  ASSERT_TRUE(sleeper.Started());
  ASSERT_TRUE(WaitUntil(
      [&] { return !posix::ProcessesWithEnvironment(ns->EnvironmentEntry()).empty(); }, 5000));
  platform::SharedMapping block = platform::SharedMapping::Create("TestLeftover", 64);
  ASSERT_TRUE(block);
  auto leftovers = [&prefix] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
      count += entry.path().filename().string().rfind(prefix, 0) == 0;
    }
    return count;
  };
  ASSERT_EQ(leftovers(), 1);
  const std::int64_t start = NowMs();
  ns.reset();
  EXPECT_EQ(sleeper.Wait(), -1) << "ended by a signal";
  EXPECT_LT(NowMs() - start, 2500) << "asked to stop, not waited out";
  EXPECT_EQ(leftovers(), 0);
}

TEST(FlockHolderPosix, KeepsOthersOutUntilReleased) {
  TempDir dir;
  const std::string path = dir / "held";
  WriteText(path, "x");
  const std::vector<std::string> tryLock = {"flock", "--exclusive", "--nonblock", path, "true"};
  posix::FlockHolder holder(path);
  if (!holder.Started()) GTEST_SKIP() << "flock(1) cannot be run";
  ASSERT_TRUE(holder.held());
  EXPECT_EQ(RunProgram(tryLock).exitCode, 1);
  EXPECT_EQ(holder.Release(), 0);
  EXPECT_FALSE(holder.held());
  EXPECT_EQ(RunProgram(tryLock).exitCode, 0);
}

// tmpfs keeps the times that the save-stamp tests give their files, from
// 1601 on; a disk's file system may not.
TEST(TempDirPosix, InMemoryKeepsFileTimesBefore1901) {
  TempDir dir(TempDir::Where::inMemory);
  if (::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm here";
  EXPECT_EQ(dir.path().rfind("/dev/shm/", 0), 0u) << dir.path();
  WriteText(dir / "stamp", "");
  EXPECT_TRUE(SetLastWriteTime(dir / "stamp", -11'644'473'600, 999'999'999));
  EXPECT_TRUE(SetLastWriteTime(dir / "stamp", 2'147'483'648));
}

// A child asks a question on its controlling terminal; the test reads it
// there and types the answer, or hangs up.
TEST(PseudoTerminalPosix, CarriesAQuestionAndItsAnswer) {
  for (const bool hangUp : {false, true}) {
    SCOPED_TRACE(hangUp ? "hung up" : "answered");
    posix::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.opened());
    ChildOptions alone;
    alone.newSession = true;
    Child asker = Child::Run(
        [&terminal](ChildReport& report) {
          if (!terminal.BecomeControllingTerminal()) return 2;
          std::signal(SIGHUP, SIG_IGN);
          const int tty = ::open("/dev/tty", O_RDWR);
          if (tty < 0) return 3;
          if (::write(tty, "Go on? ", 7) != 7) return 4;
          char answer[16] = {};
          const ssize_t n = ::read(tty, answer, sizeof answer - 1);
          report.Write(n > 0 ? std::string(answer, static_cast<std::size_t>(n)) : "(none)");
          return 0;
        },
        alone);
    EXPECT_NE(terminal.ShowUntil("Go on? ", 5000).find("Go on? "), std::string::npos)
        << terminal.Shown();
    if (hangUp) {
      terminal.HangUp();
    } else {
      EXPECT_TRUE(terminal.Type("yes\n"));
    }
    EXPECT_EQ(asker.Wait(5000), 0);
    EXPECT_EQ(asker.Out(), hangUp ? "(none)" : "yes\n");
  }
}

TEST(ProcessIdPosix, NamesTheChildUntilItIsCollected) {
  Child sleeper({"sleep", "60"});
  const pid_t pid = posix::ProcessId(sleeper);
  ASSERT_GT(pid, 0);
  EXPECT_FALSE(posix::ProcessGone(pid));
  sleeper.Stop(StopRequest::terminate);
  EXPECT_EQ(sleeper.Wait(), -1);
  EXPECT_EQ(posix::ProcessId(sleeper), -1);
  EXPECT_TRUE(posix::ProcessGone(pid));
}

}  // namespace
}  // namespace vellumar::testing
