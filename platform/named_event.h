// Named events: a flag that one program creates under a name and others open
// by that name, to signal and to wait on. Names live in the user's namespace
// of named objects, as the shared blocks do. An event with automatic reset
// lets exactly one waiter pass each time it is set; one with manual reset
// stays signalled until it is reset. A process that dies while it has an
// event open, even in the middle of a wait, leaves the event working for
// everyone else.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/os_error.h"

namespace vellumar::platform {

enum class EventReset { manual, automatic };

enum class WaitResult { signalled, timeout, failed };

class NamedEvent {
 public:
  NamedEvent() noexcept = default;
  ~NamedEvent() { Close(); }
  NamedEvent(NamedEvent&& other) noexcept : m_state(std::exchange(other.m_state, nullptr)) {}
  NamedEvent& operator=(NamedEvent&& other) noexcept {
    if (this != &other) {
      Close();
      m_state = std::exchange(other.m_state, nullptr);
    }
    return *this;
  }

  // Creates the event, for the user alone, signalled or not. An event of
  // that name left behind by an earlier creator is replaced. An empty
  // object on failure, with the reason in `error` when one is given.
  static NamedEvent Create(const char* name, EventReset reset, bool signalled,
                           OsError* error = nullptr) noexcept;

  // Opens an existing event; an empty object when there is none (or it is
  // not the user's own).
  static NamedEvent Open(const char* name) noexcept;

  // Removes the name; events already open stay usable.
  static bool Remove(const char* name) noexcept;

  explicit operator bool() const noexcept { return m_state != nullptr; }

  void Set() noexcept;
  void Reset() noexcept;

  // Waits until the event is signalled, for at most `timeoutMs`
  // milliseconds (0 only tests it). With automatic reset, passing the wait
  // clears the event again.
  WaitResult Wait(std::uint32_t timeoutMs) noexcept;

  void Close() noexcept;

 private:
  struct State;  // what the backend holds of an open event
  State* m_state = nullptr;
};

}  // namespace vellumar::platform
