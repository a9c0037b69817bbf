// What a Child holds on POSIX, shared by the files that implement it.
#pragma once

#include <sys/types.h>

#include <string>

#include "support/child.h"

namespace vellumar::testing {

struct Child::State {
  bool started = false;
  pid_t pid = -1;  // -1 once collected, or never started
  int exitCode = -1;
  int input = -1;  // our ends of the pipes, -1 when there is none
  int output = -1;
  int error = -1;
  std::string out;  // collected, not yet taken
  std::string err;
};

struct ChildAccess {
  static pid_t Pid(const Child& child) {
    return child.m_state != nullptr ? child.m_state->pid : -1;
  }
};

}  // namespace vellumar::testing
