// A handle is a descriptor here.
#include "platform/unique_handle.h"

#include <unistd.h>

namespace vellumar::platform {

void UniqueHandle::Close() noexcept {
  // Not retried on EINTR: Linux has let go of the descriptor either way.
  if (m_value != kNone) ::close(static_cast<int>(Release()));
}

}  // namespace vellumar::platform
