// An open file as the operating system knows it: opaque to shared code.
#pragma once

#include <cstdint>

namespace vellumar::platform {

// Wide enough for every backend's own handle (a descriptor, a Win32 HANDLE).
// Only the backend that made a handle looks inside it; shared code keeps it,
// hands it back and compares it with `invalid`.
enum class FileHandle : std::intptr_t { invalid = -1 };

}  // namespace vellumar::platform
