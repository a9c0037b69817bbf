// Named events: a flag that one program creates under a name and others open
// by that name, to signal and to wait on. Names live in the same per-user
// namespace as the shared blocks. An event with automatic reset lets exactly
// one waiter pass each time it is set; one with manual reset stays signalled
// until it is reset. The state lives in shared memory as one 32-bit word and
// no lock does, so a process that dies while it holds an event leaves no
// lock behind.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/shared_block.h"

namespace vellumar::platform {

enum class EventReset { manual, automatic };

enum class WaitResult { signalled, timeout, failed };

class NamedEvent {
 public:
  NamedEvent() noexcept = default;
  NamedEvent(NamedEvent&& other) noexcept = default;
  NamedEvent& operator=(NamedEvent&& other) noexcept = default;

  // Creates the event, mode 0600, signalled or not. An event of that name
  // left behind by an earlier creator is replaced. Empty object on failure.
  static NamedEvent Create(const char* name, EventReset reset, bool signalled) noexcept;

  // Opens an existing event; an empty object when there is none (or it is
  // not the user's own).
  static NamedEvent Open(const char* name) noexcept;

  // Removes the name; events already open stay usable.
  static bool Remove(const char* name) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_view); }

  void Set() noexcept;
  void Reset() noexcept;

  // Waits until the event is signalled, for at most `timeoutMs`
  // milliseconds (0 only tests it). With automatic reset, passing the wait
  // clears the event again.
  WaitResult Wait(std::uint32_t timeoutMs) noexcept;

  void Close() noexcept { m_view.Unmap(); }

 private:
  struct State;
  State* state() const noexcept;

  SharedView m_view;
};

}  // namespace vellumar::platform
