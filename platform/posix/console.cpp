#include "platform/console.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {

bool HasControllingTerminal() noexcept {
  // /dev/tty opens exactly when there is a controlling terminal.
  return static_cast<bool>(posix::AdoptFd(::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC)));
}

bool StandardOutputIsUseful() noexcept {
  struct stat st;
  if (::fstat(STDOUT_FILENO, &st) != 0) return false;
  // A file, pipe or socket counts; of the character devices, only a
  // terminal keeps what it is given (/dev/null does not).
  return !S_ISCHR(st.st_mode) || ::isatty(STDOUT_FILENO) != 0;
}

void SurviveClosedOutputs() noexcept { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace vellumar::platform
