// The event is a shared memory object holding its state as one 32-bit word,
// used as a Linux futex shared between processes: waiters sleep in the
// kernel on the word while it is 0 and are woken when it is set. No lock
// lives in the shared memory, so a process that dies while it holds the
// event leaves no lock behind.
#include "platform/named_event.h"

#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <new>
#include <utility>

#include "platform/posix/deadline.h"
#include "platform/shared_block.h"

namespace vellumar::platform {

struct NamedEvent::State {
  std::atomic<std::uint32_t> signalled;  // 1 while signalled, the futex word
  std::atomic<std::uint32_t> reset;      // kManual or kAutomatic, fixed by the creator
};

namespace {

constexpr std::uint32_t kManual = 1;
constexpr std::uint32_t kAutomatic = 2;

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

std::uint32_t* FutexWord(std::atomic<std::uint32_t>& word) noexcept {
  return reinterpret_cast<std::uint32_t*>(&word);
}

// Sleeps while the word is 0, until `deadline` on the monotonic clock.
// 0 when woken (or the word was no longer 0), otherwise the error; EINTR
// is left to the caller, whose loop goes on against the same deadline.
int FutexWaitUntil(std::atomic<std::uint32_t>& word, const timespec& deadline) noexcept {
  long rc = ::syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_BITSET, 0u, &deadline, nullptr,
                      FUTEX_BITSET_MATCH_ANY);
  if (rc == 0) return 0;
  return errno == EAGAIN ? 0 : errno;
}

void FutexWake(std::atomic<std::uint32_t>& word, int count) noexcept {
  ::syscall(SYS_futex, FutexWord(word), FUTEX_WAKE, count, nullptr, nullptr, 0);
}

}  // namespace

NamedEvent NamedEvent::Create(const char* name, EventReset reset, bool signalled,
                              OsError* error) noexcept {
  NamedEvent event;
  SharedMapping mapping = SharedMapping::Create(name, sizeof(State), error);
  if (!mapping) return event;
  SharedView view = mapping.MapView(error);
  if (!view) {
    Remove(name);
    return event;
  }
  event.m_state = new (view.Release()) State{};
  event.m_state->reset.store(reset == EventReset::manual ? kManual : kAutomatic);
  event.m_state->signalled.store(signalled ? 1u : 0u);
  return event;
}

NamedEvent NamedEvent::Open(const char* name) noexcept {
  NamedEvent event;
  SharedMapping mapping = SharedMapping::Open(name, BlockAccess::write);
  // Only what Create makes: a view of any other size would not be ended
  // whole by Close.
  if (!mapping || mapping.size() != sizeof(State)) return event;
  event.m_state = static_cast<State*>(mapping.MapView().Release());
  return event;
}

void NamedEvent::Close() noexcept {
  if (m_state != nullptr) ::munmap(std::exchange(m_state, nullptr), sizeof(State));
}

bool NamedEvent::Remove(const char* name) noexcept { return SharedMapping::Remove(name); }

void NamedEvent::Set() noexcept {
  State* s = m_state;
  if (s == nullptr) return;
  if (s->signalled.exchange(1u) == 0u) {
    FutexWake(s->signalled, s->reset.load() == kManual ? INT_MAX : 1);
  }
}

void NamedEvent::Reset() noexcept {
  if (State* s = m_state) s->signalled.store(0u);
}

WaitResult NamedEvent::Wait(std::uint32_t timeoutMs) noexcept {
  State* s = m_state;
  if (s == nullptr) return WaitResult::failed;
  const timespec deadline = posix::DeadlineAfter(timeoutMs);
  bool timedOut = timeoutMs == 0;
  for (;;) {
    // The state is tested once more after the time is up, so a set that
    // raced with the timeout is not lost.
    if (s->reset.load() == kManual) {
      if (s->signalled.load() != 0u) return WaitResult::signalled;
    } else {
      std::uint32_t expected = 1u;
      if (s->signalled.compare_exchange_strong(expected, 0u)) return WaitResult::signalled;
    }
    if (timedOut) return WaitResult::timeout;
    int error = FutexWaitUntil(s->signalled, deadline);
    if (error == ETIMEDOUT) {
      timedOut = true;
    } else if (error != 0 && error != EINTR) {
      return WaitResult::failed;
    }
  }
}

}  // namespace vellumar::platform
