// Time in tests that involve other processes: a clock to measure how long
// something took, and waits that give up.
#pragma once

#include <cstdint>
#include <functional>

namespace vellumar::testing {

// Milliseconds on the monotonic clock since an arbitrary start.
std::int64_t NowMs();

// Polls `ready` every few milliseconds for at most `timeoutMs`.
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

// Lets `ms` milliseconds pass.
void SleepMs(int ms);

}  // namespace vellumar::testing
