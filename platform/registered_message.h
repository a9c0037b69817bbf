// Registered message numbers: every process of the user that registers the
// same name (ASCII case ignored) gets the same number, from 0xC000 to
// 0xFFFF, and different names get different numbers.
#pragma once

namespace vellumar::platform {

// The number for `name`, or 0 when it cannot be registered.
unsigned RegisterMessage(const char* name) noexcept;

}  // namespace vellumar::platform
