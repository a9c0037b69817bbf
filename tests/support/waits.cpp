#include "support/waits.h"

#include <chrono>
#include <thread>

namespace vellumar::testing {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
  std::int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    if (ready()) return true;
    if (NowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace vellumar::testing
