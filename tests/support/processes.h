// Helpers for tests that run real separate processes: forked children that
// run a piece of the test and report back, spawned programs that are always
// stopped and reaped, and small waits.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/test_files.h"
#include "support/waits.h"

namespace vellumar::testing {

// Runs `body` in a forked child and returns what it wrote through `report`
// (a pipe that the parent reads to the end), with its exit status. The
// child ends with _exit, so nothing of the test program's own runs there.
struct ChildResult {
  std::string report;
  int exitCode = -1;  // -1 when the child did not exit normally
};
ChildResult RunInChild(const std::function<void(int report)>& body, int timeoutMs = 20000);

// Writes the bytes of a trivially copyable value or a string to a report.
void WriteReport(int fd, const void* data, std::size_t size);

// A forked child that runs `body` and exits with its result; the parent
// collects it with Wait. Killed and reaped if still running at destruction.
class ForkedChild {
 public:
  explicit ForkedChild(const std::function<int()>& body);
  ~ForkedChild();
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;
  pid_t pid() const { return m_pid; }
  // The exit code, or -1 when it ended otherwise or did not end in time.
  int Wait(int timeoutMs = 20000);

 private:
  pid_t m_pid = -1;
};

struct SpawnOptions {
  std::string stdoutPath{};  // empty: inherit
  std::string stderrPath{};  // empty: inherit
  bool devNullStdio = false;
  bool newSession = false;  // no controlling terminal
};

// A program started with posix_spawn; stopped (SIGKILL) and reaped at
// destruction unless it has been waited for.
class Spawned {
 public:
  Spawned(const std::vector<std::string>& argv, const SpawnOptions& options = {});
  ~Spawned();
  Spawned(Spawned&& other) noexcept;
  Spawned& operator=(Spawned&&) = delete;
  pid_t pid() const { return m_pid; }
  bool Signal(int sig) const;
  // The exit code, or -1 (killed by a signal, or still running after the
  // timeout, in which case it is left running).
  int Wait(int timeoutMs = 20000);

 private:
  pid_t m_pid = -1;
};

// Whether `pid` has ended (it is not our child; zombies count as ended).
bool ProcessGone(pid_t pid);

// Children of this process that have ended but not been reaped.
int ZombieChildren();

void WriteFile(const std::string& path, const std::string& text, int mode = 0644);

}  // namespace vellumar::testing
