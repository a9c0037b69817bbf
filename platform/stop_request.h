// Requests from outside that the program stop: the user's interrupt key
// (Ctrl-C), the end of the terminal session, or the system asking the
// program to end. A program that watches them is no longer ended at once by
// such a request: the request waits until the program looks (or until a
// wait that takes the watch returns with it), so the program stops between
// two pieces of work and removes what it made. Once watched, requests stay
// held for the program for the rest of its life; a process has one watch.
#pragma once

#include "platform/os_error.h"
#include "platform/unique_handle.h"

namespace vellumar::platform {

class MessageWindow;

class StopRequest {
 public:
  StopRequest() noexcept = default;

  // Starts watching. An empty object on failure, with the reason in `error`
  // when one is given; requests then end the program as before.
  static StopRequest Watch(OsError* error = nullptr) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_handle); }

  // Whether a stop has been requested since the watch began. Looking does
  // not take the request away.
  bool Requested() const noexcept;

 private:
  friend class MessageWindow;  // its wait returns when a stop is requested
  UniqueHandle m_handle;
};

}  // namespace vellumar::platform
