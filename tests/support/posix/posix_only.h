// Helpers for tests that only make sense on POSIX systems, for the
// *_posix_test.cpp files alone: process ids, another holder of a file's
// flock(2), file modes, and a pseudo-terminal to play the user on.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/child.h"

namespace vellumar::testing::posix {

// The process id of a child that has started and not yet been collected;
// -1 otherwise.
pid_t ProcessId(const Child& child);

// Whether `pid` has ended (it need not be our child; a zombie counts as
// ended).
bool ProcessGone(pid_t pid);

// Processes of this user, other than this one, that were started with
// `entry` ("NAME=value") in their environment.
std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry);

// Writes the file as WriteText does, then gives it `mode` (0755 makes a
// script that can be run).
void WriteText(const std::string& path, std::string_view text, int mode);

// A separate process (flock(1)) that holds an exclusive flock(2) on a file,
// as any program that locks the file would, until Release or the end of
// the scope.
class FlockHolder {
 public:
  explicit FlockHolder(const std::string& path);
  // Whether flock(1) could be run at all.
  bool Started() const { return m_holder.Started(); }
  // Whether it has taken the lock.
  bool held() const { return m_held; }
  // Lets the file go; the holder's exit code (0 when it held and let go
  // cleanly).
  int Release();

 private:
  Child m_holder;
  bool m_held = false;
};

// A new pseudo-terminal: the test plays the user on its master side, and a
// child takes the terminal side as its controlling terminal.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool opened() const { return m_master >= 0; }

  // In a child started with ChildOptions::newSession: lets go of the master
  // side in that process and makes the terminal its controlling terminal.
  bool BecomeControllingTerminal();

  // Reads what the terminal shows until `text` has been shown, the other
  // side is closed, or `timeoutMs` has passed; all that was shown so far.
  const std::string& ShowUntil(std::string_view text, int timeoutMs);
  const std::string& Shown() const { return m_shown; }
  // Types `keys` as the user would.
  bool Type(std::string_view keys);
  // Closes the master side: the terminal hangs up.
  void HangUp();

 private:
  int m_master = -1;
  std::string m_device;
  std::string m_shown;
};

}  // namespace vellumar::testing::posix
