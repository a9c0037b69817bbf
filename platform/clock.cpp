#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>

namespace vellumar::platform {
namespace {

// The moment a test has fixed, or kRealClock. One word, so that a reader on
// another thread sees either setting whole.
constexpr std::int64_t kRealClock = std::numeric_limits<std::int64_t>::min();
std::atomic<std::int64_t> g_nFixedNow{kRealClock};

}  // namespace

Instant Now() noexcept {
  const std::int64_t fixed = g_nFixedNow.load(std::memory_order_acquire);
  if (fixed != kRealClock) return Instant{fixed};
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return Instant{std::chrono::floor<std::chrono::seconds>(sinceEpoch).count()};
}

namespace test {
std::optional<Instant> SetFixedNow(std::optional<Instant> moment) noexcept {
  const std::int64_t previous =
      g_nFixedNow.exchange(moment ? moment->unixSeconds : kRealClock, std::memory_order_acq_rel);
  if (previous == kRealClock) return std::nullopt;
  return Instant{previous};
}
}  // namespace test

}  // namespace vellumar::platform
