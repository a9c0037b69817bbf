// Starting a program detached. The program is this test program itself,
// found on PATH under another name: started with VELLUMAR_TEST_PROBE set, it
// reports what it was given (parent, session, terminal, descriptors) into
// that file before any test runs, and ends.
#include "platform/detached_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/posix/posix_only.h"
#include "support/temp_files.h"
#include "support/waits.h"

namespace {

void ReportAsProbe(const char* reportPath) {
  std::string tmp = std::string(reportPath) + ".tmp";
  FILE* out = std::fopen(tmp.c_str(), "we");
  if (out == nullptr) ::_exit(3);
  std::fprintf(out, "pid %d\nppid %d\nleader %d\n", ::getpid(), ::getppid(),
               ::getsid(0) == ::getpid() ? 1 : 0);
  int tty = ::open("/dev/tty", O_RDONLY | O_NOCTTY);
  std::fprintf(out, "tty %s\n", tty >= 0 ? "yes" : "no");
  for (int fd = 0; fd < 3; ++fd) {
    char link[64];
    char target[256] = "";
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    target[n > 0 ? n : 0] = '\0';
    std::fprintf(out, "fd%d %s\n", fd, target);
  }
  // Every descriptor beyond the standard three came from the starter, apart
  // from the ones this report opened itself.
  std::fprintf(out, "extra");
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* e = dir != nullptr ? ::readdir(dir) : nullptr) {
    int fd = std::atoi(e->d_name);
    if (e->d_name[0] == '.' || fd < 3 || fd == ::dirfd(dir) || fd == ::fileno(out) || fd == tty) {
      continue;
    }
    std::fprintf(out, " %d", fd);
  }
  std::fprintf(out, "\n");
  std::fclose(out);
  std::rename(tmp.c_str(), reportPath);
}

__attribute__((constructor)) void RunAsProbe() {
  const char* report = std::getenv("VELLUMAR_TEST_PROBE");
  if (report == nullptr || *report == '\0') return;
  ReportAsProbe(report);
  if (const char* sleepMs = std::getenv("VELLUMAR_TEST_PROBE_SLEEP_MS")) {
    ::usleep(static_cast<useconds_t>(std::atoi(sleepMs)) * 1000u);
  }
  ::_exit(0);
}

}  // namespace

namespace vellumar::platform {
namespace {

using testing::NowMs;

std::string g_reportPath;
bool ReportWritten() { return ::access(g_reportPath.c_str(), F_OK) == 0; }
bool NeverReady() { return false; }

std::string ReportValue(const std::string& report, const std::string& key) {
  std::size_t at = report.find(key + " ");
  if (at == std::string::npos) return "<missing>";
  at += key.size() + 1;
  return report.substr(at, report.find('\n', at) - at);
}

std::string SelfExe() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0);
}

class DetachedProcessTest : public ::testing::Test {
 protected:
  DetachedProcessTest()
      : path("PATH", (dir.path() + "/empty:" + dir.path() + "/bin").c_str()),
        probe("VELLUMAR_TEST_PROBE", (dir / "report").c_str()) {
    std::filesystem::create_directory(dir / "bin");
    EXPECT_EQ(::symlink(SelfExe().c_str(), (dir / "bin/probe").c_str()), 0);
    g_reportPath = dir / "report";
  }
  // Ends a probe that is still asleep; it is not our child to reap.
  static void Kill(const DetachedProcess& p) {
    if (p) ::kill(static_cast<pid_t>(p.id()), SIGKILL);
  }

  testing::TempDir dir;
  testing::ScopedEnv path;
  testing::ScopedEnv probe;
};

TEST_F(DetachedProcessTest, RunsInItsOwnSessionWithNothingOfTheCaller) {
  // A descriptor of the caller's that would be inherited by default.
  int inheritable = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(inheritable, 0);
  const int before = testing::OpenHandleCount();

  DetachedProcess p = DetachedProcess::Start("probe.exe");
  ASSERT_TRUE(p);
  p.WaitUntilReady(5000, ReportWritten);
  const pid_t pid = static_cast<pid_t>(p.id());
  p.Close();
  EXPECT_EQ(testing::OpenHandleCount(), before);
  ::close(inheritable);

  ASSERT_TRUE(ReportWritten());
  std::string report = testing::ReadFile(g_reportPath);
  EXPECT_EQ(ReportValue(report, "pid"), std::to_string(pid));
  EXPECT_NE(ReportValue(report, "ppid"), std::to_string(::getpid()));
  EXPECT_EQ(ReportValue(report, "leader"), "1");
  EXPECT_EQ(ReportValue(report, "tty"), "no");
  for (const char* fd : {"fd0", "fd1", "fd2"}) EXPECT_EQ(ReportValue(report, fd), "/dev/null");
  EXPECT_EQ(report.substr(report.find("extra")), "extra\n");

  // Nothing is left for the caller to reap, now or when the program ends.
  EXPECT_TRUE(testing::WaitUntil([pid] { return testing::posix::ProcessGone(pid); }, 5000));
  EXPECT_EQ(testing::UncollectedChildren(), 0);
}

TEST_F(DetachedProcessTest, WaitEndsWhenTheProgramEnds) {
  std::int64_t start = NowMs();
  DetachedProcess p = DetachedProcess::Start("probe.exe");
  ASSERT_TRUE(p);
  p.WaitUntilReady(8000, NeverReady);
  EXPECT_LT(NowMs() - start, 4000);
  EXPECT_TRUE(testing::posix::ProcessGone(static_cast<pid_t>(p.id())));
}

struct WaitCase {
  const char* name;
  bool (*isReady)();
  std::uint32_t timeoutMs;
  std::int64_t atLeastMs;
  std::int64_t lessThanMs;
};
VELLUMAR_PRINT_AS_CASE_NAME(WaitCase)

class DetachedWaitTest : public DetachedProcessTest,
                         public ::testing::WithParamInterface<WaitCase> {};

TEST_P(DetachedWaitTest, EndsWhenReadyOrAtTheTimeout) {
  const WaitCase& c = GetParam();
  testing::ScopedEnv asleep("VELLUMAR_TEST_PROBE_SLEEP_MS", "6000");
  DetachedProcess p = DetachedProcess::Start("probe.exe");
  ASSERT_TRUE(p);
  std::int64_t start = NowMs();
  p.WaitUntilReady(c.timeoutMs, c.isReady);
  std::int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, c.atLeastMs);
  EXPECT_LT(elapsed, c.lessThanMs);
  EXPECT_FALSE(testing::posix::ProcessGone(static_cast<pid_t>(p.id())));
  Kill(p);
}

INSTANTIATE_TEST_SUITE_P(Waits, DetachedWaitTest,
                         ::testing::Values(WaitCase{"Ready", ReportWritten, 8000, 0, 3000},
                                           WaitCase{"Timeout", NeverReady, 300, 300, 2000}),
                         testing::CaseName());

struct NameCase {
  const char* name;
  const char* commandLine;
  bool starts;
};
VELLUMAR_PRINT_AS_CASE_NAME(NameCase)

class DetachedNameTest : public DetachedProcessTest,
                         public ::testing::WithParamInterface<NameCase> {};

TEST_P(DetachedNameTest, FindsTheProgramOnPathWithoutItsExeSuffix) {
  const NameCase& c = GetParam();
  // An executable that cannot be run: its exec fails.
  testing::posix::WriteText(dir / "bin/broken", "#!/nonexistent/interpreter\n", 0755);
  const int before = testing::OpenHandleCount();
  DetachedProcess p = DetachedProcess::Start(c.commandLine);
  EXPECT_EQ(static_cast<bool>(p), c.starts);
  p.WaitUntilReady(5000, ReportWritten);
  std::int64_t start = NowMs();
  p.Close();
  p.WaitUntilReady(5000, NeverReady);  // nothing held: returns at once
  EXPECT_LT(NowMs() - start, 100);
  EXPECT_EQ(ReportWritten(), c.starts);
  EXPECT_EQ(testing::OpenHandleCount(), before);
  EXPECT_EQ(testing::UncollectedChildren(), 0);
}

INSTANTIATE_TEST_SUITE_P(Names, DetachedNameTest,
                         ::testing::Values(NameCase{"ExeDropped", "probe.exe", true},
                                           NameCase{"ExeInAnyCase", "probe.EXE", true},
                                           NameCase{"BareName", "probe", true},
                                           NameCase{"WithArguments", "probe.exe --one two", true},
                                           NameCase{"OnlyOneSuffixDropped", "probe.exe.exe", false},
                                           NameCase{"NotOnPath", "no-such-program.exe", false},
                                           NameCase{"ExecFails", "broken.exe", false},
                                           NameCase{"Empty", "", false},
                                           NameCase{"Blank", "   ", false}),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::platform
