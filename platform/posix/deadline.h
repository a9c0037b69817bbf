// Deadlines on the monotonic clock, for the waits of the native layer: a
// wait that is interrupted or woken early goes on against the same deadline.
#pragma once

#include <time.h>

#include <cstdint>

namespace vellumar::platform::posix {

inline timespec DeadlineAfter(std::uint32_t timeoutMs) noexcept {
  timespec t;
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += static_cast<time_t>(timeoutMs / 1000);
  t.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

// Whole milliseconds from now to the deadline, rounded up; 0 once it is past.
inline long MillisecondsUntil(const timespec& deadline) noexcept {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  long long ns = (static_cast<long long>(deadline.tv_sec) - now.tv_sec) * 1000000000LL +
                 (deadline.tv_nsec - now.tv_nsec);
  return ns <= 0 ? 0 : static_cast<long>((ns + 999999) / 1000000);
}

}  // namespace vellumar::platform::posix
