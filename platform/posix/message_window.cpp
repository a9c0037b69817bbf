// A window is a Unix datagram socket bound to an abstract name made from
// its handle, inside the user's namespace of named objects. Abstract names
// vanish with the last descriptor, so a dead owner leaves nothing behind and
// "exists" is exactly "bound by a live process". Anyone on the machine may
// send to an abstract name, so the owner asks the kernel for each sender's
// credentials and drops what does not come from its own user.
#include "platform/message_window.h"

#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/posix/deadline.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/user_objects.h"
#include "platform/stop_request.h"

namespace vellumar::platform {
namespace {

struct Address {
  sockaddr_un sun;
  socklen_t length;
};

bool WindowAddress(WindowHandle window, Address& out) noexcept {
  char object[32];
  std::snprintf(object, sizeof object, "vellumar-window-%08x", static_cast<unsigned>(window));
  char name[sizeof out.sun.sun_path - 1];
  if (!posix::PerUserObjectName(object, name, sizeof name)) return false;
  std::memset(&out.sun, 0, sizeof out.sun);
  out.sun.sun_family = AF_UNIX;
  std::size_t n = std::strlen(name);
  std::memcpy(out.sun.sun_path + 1, name, n);  // sun_path[0] == 0: the abstract namespace
  out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  return true;
}

UniqueHandle NewSocket() noexcept {
  return posix::AdoptFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

WindowHandle RandomHandle() noexcept {
  WindowHandle h = 0;
  while (h == 0) {
    if (::getrandom(&h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) {
      timespec t;
      ::clock_gettime(CLOCK_MONOTONIC, &t);
      h = static_cast<WindowHandle>(t.tv_nsec) ^ static_cast<WindowHandle>(::getpid()) << 16;
    }
  }
  return h;
}

// Whether the descriptor is readable now.
bool Readable(int fd) noexcept {
  pollfd p{fd, POLLIN, 0};
  return posix::RetryOnInterrupt([&] { return ::poll(&p, 1, 0); }) > 0;
}

}  // namespace

MessageWindow MessageWindow::Create(OsError* error) noexcept {
  MessageWindow window;
  UniqueHandle fd = posix::AdoptFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  int on = 1;
  if (!fd || ::setsockopt(posix::Fd(fd), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    if (error != nullptr) *error = OsError{errno};
    return window;
  }
  // A handle is taken by binding its name; one in use is passed over.
  int failure = EADDRINUSE;
  for (int attempt = 0; attempt < 16 && failure == EADDRINUSE; ++attempt) {
    WindowHandle handle = RandomHandle();
    Address address;
    if (!WindowAddress(handle, address)) {
      failure = ENAMETOOLONG;
      break;
    }
    if (::bind(posix::Fd(fd), reinterpret_cast<const sockaddr*>(&address.sun), address.length) ==
        0) {
      window.m_endpoint = std::move(fd);
      window.m_handle = handle;
      return window;
    }
    failure = errno;
  }
  if (error != nullptr) *error = OsError{failure};
  return window;
}

ReceiveResult MessageWindow::Receive(WindowMessage& out, std::uint32_t timeoutMs,
                                     const StopRequest* stop) noexcept {
  if (!m_endpoint) return ReceiveResult::failed;
  const int fd = posix::Fd(m_endpoint);
  const int stopFd = stop != nullptr ? posix::Fd(stop->m_handle) : -1;
  const bool forever = timeoutMs == kWaitForever;
  const timespec deadline = posix::DeadlineAfter(forever ? 0 : timeoutMs);
  for (;;) {
    // A pending stop request keeps its signal readable until the end.
    if (stopFd >= 0 && Readable(stopFd)) return ReceiveResult::stopRequested;
    WindowMessage message;
    iovec iov{&message, sizeof message};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = posix::RetryOnInterrupt(
        [&] { return ::recvmsg(fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC); });
    if (n >= 0) {
      const cmsghdr* c = CMSG_FIRSTHDR(&msg);
      bool ours = false;
      if (c != nullptr && c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred cred;
        std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
        ours = cred.uid == ::geteuid();
      }
      if (ours && n == static_cast<ssize_t>(sizeof message) && (msg.msg_flags & MSG_TRUNC) == 0) {
        out = message;
        return ReceiveResult::message;
      }
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) return ReceiveResult::failed;
    const long left = forever ? -1 : posix::MillisecondsUntil(deadline);
    if (left == 0) return ReceiveResult::timeout;
    pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int step = left > INT_MAX ? INT_MAX : static_cast<int>(left);
    if (::poll(p, stopFd >= 0 ? 2 : 1, step) < 0 && errno != EINTR) {
      return ReceiveResult::failed;
    }
  }
}

bool WindowExists(WindowHandle window) noexcept {
  Address address;
  if (window == 0 || !WindowAddress(window, address)) return false;
  UniqueHandle fd = NewSocket();
  return fd && ::connect(posix::Fd(fd), reinterpret_cast<const sockaddr*>(&address.sun),
                         address.length) == 0;
}

void NotifyWindow(WindowHandle window, const WindowMessage& message) noexcept {
  Address address;
  if (window == 0 || !WindowAddress(window, address)) return;
  UniqueHandle fd = NewSocket();
  if (!fd) return;
  ::sendto(posix::Fd(fd), &message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&address.sun), address.length);
}

}  // namespace vellumar::platform
