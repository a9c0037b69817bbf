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
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/posix/deadline.h"
#include "platform/shared_block.h"

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
  if (!PerUserObjectName(object, name, sizeof name)) return false;
  std::memset(&out.sun, 0, sizeof out.sun);
  out.sun.sun_family = AF_UNIX;
  std::size_t n = std::strlen(name);
  std::memcpy(out.sun.sun_path + 1, name, n);  // sun_path[0] == 0: the abstract namespace
  out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  return true;
}

int NewSocket() noexcept { return ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

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

}  // namespace

MessageWindow::~MessageWindow() { Close(); }

MessageWindow::MessageWindow(MessageWindow&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_handle(std::exchange(other.m_handle, 0)) {}

MessageWindow& MessageWindow::operator=(MessageWindow&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
    m_handle = std::exchange(other.m_handle, 0);
  }
  return *this;
}

void MessageWindow::Close() noexcept {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_handle = 0;
}

MessageWindow MessageWindow::Create() noexcept {
  MessageWindow window;
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return window;
  int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    ::close(fd);
    return window;
  }
  // A handle is taken by binding its name; one in use is passed over.
  for (int attempt = 0; attempt < 16; ++attempt) {
    WindowHandle handle = RandomHandle();
    Address address;
    if (!WindowAddress(handle, address)) break;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address.sun), address.length) == 0) {
      window.m_fd = fd;
      window.m_handle = handle;
      return window;
    }
    if (errno != EADDRINUSE) break;
  }
  ::close(fd);
  return window;
}

ReceiveResult MessageWindow::Receive(WindowMessage& out, std::uint32_t timeoutMs) noexcept {
  if (m_fd < 0) return ReceiveResult::failed;
  const timespec deadline = posix::DeadlineAfter(timeoutMs);
  for (;;) {
    WindowMessage message;
    iovec iov{&message, sizeof message};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
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
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return ReceiveResult::failed;
    long left = posix::MillisecondsUntil(deadline);
    if (left == 0) return ReceiveResult::timeout;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return ReceiveResult::failed;
  }
}

bool WindowExists(WindowHandle window) noexcept {
  Address address;
  if (window == 0 || !WindowAddress(window, address)) return false;
  int fd = NewSocket();
  if (fd < 0) return false;
  bool exists = ::connect(fd, reinterpret_cast<const sockaddr*>(&address.sun), address.length) == 0;
  ::close(fd);
  return exists;
}

void NotifyWindow(WindowHandle window, const WindowMessage& message) noexcept {
  Address address;
  if (window == 0 || !WindowAddress(window, address)) return;
  int fd = NewSocket();
  if (fd < 0) return;
  ::sendto(fd, &message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&address.sun), address.length);
  ::close(fd);
}

}  // namespace vellumar::platform
