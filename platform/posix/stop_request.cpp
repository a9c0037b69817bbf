// The stop requests are SIGINT, SIGTERM and SIGHUP. Watching blocks them and
// opens a signalfd that reports them: a blocked signal stays pending, and
// the descriptor is readable while one is, so a wait that polls it (the
// message window's) returns when a stop is requested. They are never
// unblocked again: a request that comes late waits, and cannot end the
// program halfway through its clean-up.
#include "platform/stop_request.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <cerrno>

#include "platform/posix/descriptor.h"

namespace vellumar::platform {

StopRequest StopRequest::Watch(OsError* error) noexcept {
  StopRequest watch;
  sigset_t stops;
  ::sigemptyset(&stops);
  ::sigaddset(&stops, SIGINT);
  ::sigaddset(&stops, SIGTERM);
  ::sigaddset(&stops, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &stops, nullptr) != 0) {
    if (error != nullptr) *error = OsError{errno};
    return watch;
  }
  watch.m_handle = posix::AdoptFd(::signalfd(-1, &stops, SFD_CLOEXEC));
  if (!watch && error != nullptr) *error = OsError{errno};
  return watch;
}

bool StopRequest::Requested() const noexcept {
  if (!m_handle) return false;
  pollfd p{posix::Fd(m_handle), POLLIN, 0};
  return posix::RetryOnInterrupt([&] { return ::poll(&p, 1, 0); }) > 0;
}

}  // namespace vellumar::platform
