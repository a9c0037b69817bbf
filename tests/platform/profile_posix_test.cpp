// Reading the user's profile from its file on POSIX: where the file is, how
// the value is cut, and that no file in its place can make the read hang
// or grow without limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/temp_files.h"

namespace vellumar::platform {
namespace {

using testing::ScopedEnv;

std::string Read(std::size_t capacity = 255) {
  char buffer[300];
  std::memset(buffer, '#', sizeof buffer);
  std::size_t n = ReadProfileString("Pelorin", "ApplicationDirectory", "none", buffer, capacity);
  EXPECT_EQ(buffer[n], '\0');
  EXPECT_EQ(buffer[n + 1], '#') << "nothing is written past the value's NUL";
  return std::string(buffer, n);
}

TEST(ProfileFile, LocationFollowsWininiThenXdgThenHome) {
  vellumar::testing::TempDir dir;
  testing::WriteText(dir / "explicit.ini", "[Pelorin]\nApplicationDirectory=from-winini\n");
  std::filesystem::create_directories(dir / "xdg");
  testing::WriteText(dir / "xdg/win.ini", "[Pelorin]\nApplicationDirectory=from-xdg\n");
  std::filesystem::create_directories(dir / "home/.config");
  testing::WriteText(dir / "home/.config/win.ini", "[Pelorin]\nApplicationDirectory=from-home\n");

  ScopedEnv home("HOME", (dir / "home").c_str());
  {
    ScopedEnv wininiPath("WININI", (dir / "explicit.ini").c_str());
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(Read(), "from-winini");
  }
  {
    ScopedEnv wininiPath("WININI", "");  // empty counts as not set
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(Read(), "from-xdg");
  }
  {
    ScopedEnv wininiPath("WININI", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(Read(), "from-home");
  }
  {
    ScopedEnv wininiPath("WININI", (dir / "missing.ini").c_str());
    EXPECT_EQ(Read(), "none") << "a missing profile gives the default";
  }
}

TEST(ProfileFile, ValueIsCutToCapacityMinusOneWhateverTheLineLength) {
  vellumar::testing::TempDir dir;
  const std::string longValue(100000, 'v');
  testing::WriteText(dir / "w.ini", "[Pelorin]\nApplicationDirectory=" + longValue + "\n");
  ScopedEnv wininiPath("WININI", (dir / "w.ini").c_str());
  EXPECT_EQ(Read(255), std::string(254, 'v'));
  EXPECT_EQ(Read(1), "");
}

TEST(ProfileFile, DefaultIsCutLikeAValue) {
  ScopedEnv wininiPath("WININI", "/nonexistent/w.ini");
  EXPECT_EQ(Read(3), "no");
}

TEST(ProfileFile, FileReadAsTheParserReadsText) {
  vellumar::testing::TempDir dir;
  testing::WriteText(dir / "w.ini",
                     "\xEF\xBB\xBF[Other]\r[Pelorin]\rApplicationDirectory=/a\x1A\r");
  ScopedEnv wininiPath("WININI", (dir / "w.ini").c_str());
  EXPECT_EQ(Read(), "/a");
}

// A profile of `size` bytes: the section header, comment lines, and the key
// line starting at `keyAt`.
std::string ProfileWithKeyAt(std::size_t keyAt, const std::string& keyLine, std::size_t size) {
  std::string text = "[Pelorin]\n";
  auto fill = [&text](std::size_t upTo) {
    while (text.size() < upTo) {
      const std::size_t line = std::min<std::size_t>(upTo - text.size(), 80);
      text += line == 1 ? std::string("\n") : ";" + std::string(line - 2, '-') + "\n";
    }
  };
  fill(keyAt);
  text += keyLine;
  fill(size);
  return text;
}

// Something in the profile's place, and the value that a read then finds.
struct BoundedReadCase {
  const char* name;
  // Makes the profile in `dir` and returns its path; empty to skip the row.
  std::string (*prepare)(const std::string& dir);
  const char* value;
};
VELLUMAR_PRINT_AS_CASE_NAME(BoundedReadCase)

constexpr std::size_t kBound = kProfileReadLimit;

const BoundedReadCase kBoundedReads[] = {
    {"Fifo",  // an open that waited for a writer would never return
     [](const std::string& dir) {
       const std::string path = dir + "/win.ini";
       return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
     },
     "none"},
    {"DevZero", [](const std::string&) { return std::string("/dev/zero"); }, "none"},
    {"DevUrandom", [](const std::string&) { return std::string("/dev/urandom"); }, "none"},
    {"Directory", [](const std::string& dir) { return dir; }, "none"},
    {"KeyBeforeTheBound",
     [](const std::string& dir) {
       const std::string path = dir + "/win.ini";
       testing::WriteText(path, ProfileWithKeyAt(1000, "ApplicationDirectory=/a\n", 2 * kBound));
       return path;
     },
     "/a"},
    {"KeyAfterTheBound",
     [](const std::string& dir) {
       const std::string path = dir + "/win.ini";
       testing::WriteText(path, ProfileWithKeyAt(kBound, "ApplicationDirectory=/a\n", 2 * kBound));
       return path;
     },
     "none"},
    {"ValueCutByTheBound",  // the bound falls after "/abc"
     [](const std::string& dir) {
       const std::string path = dir + "/win.ini";
       const std::string keyLine = "ApplicationDirectory=/abcdef\n";
       testing::WriteText(path, ProfileWithKeyAt(kBound - 25, keyLine, 2 * kBound));
       return path;
     },
     "/abc"},
};

// The process's address space, so that a read that grows without limit
// fails in the child instead of exhausting the machine.
void LimitAddressSpaceGrowth(std::size_t extra) {
  unsigned long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  if (pages == 0) return;
  const auto now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const rlimit limit{now + extra, now + extra};
  ::setrlimit(RLIMIT_AS, &limit);
}

class BoundedReadTest : public ::testing::TestWithParam<BoundedReadCase> {};

// In a child process with a deadline: a read that blocks is killed and
// fails the row rather than hanging the suite.
TEST_P(BoundedReadTest, NeverBlocksNorGrowsPastTheBound) {
  vellumar::testing::TempDir dir;
  const std::string path = GetParam().prepare(dir.path());
  if (path.empty()) GTEST_SKIP() << "cannot be set up here";
  const testing::ProcessResult child = testing::RunInChild(
      [](testing::ChildReport& report) {
        LimitAddressSpaceGrowth(std::size_t{256} << 20);
        char value[256];
        const std::size_t n =
            ReadProfileString("Pelorin", "ApplicationDirectory", "none", value, sizeof value);
        report.Write(value, n);
      },
      {.environment = {"WININI=" + path}}, 5000);
  EXPECT_EQ(child.exitCode, 0) << "the read did not return in time, or failed";
  EXPECT_EQ(child.out, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Profiles, BoundedReadTest, ::testing::ValuesIn(kBoundedReads),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::platform
