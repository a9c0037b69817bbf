// The current time, as the system's real-time clock gives it.
#pragma once

#include <optional>

#include "platform/instant.h"

namespace vellumar::platform {

// Now, in whole seconds (a fraction is dropped).
Instant Now() noexcept;

namespace test {
// Makes Now() answer `moment` until the returned previous setting is put
// back; an empty moment restores the real clock. (The earliest 64-bit
// instant stands for the real clock and cannot be fixed.) For tests only;
// production code never calls it.
std::optional<Instant> SetFixedNow(std::optional<Instant> moment) noexcept;
}  // namespace test

}  // namespace vellumar::platform
