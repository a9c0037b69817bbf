#include "platform/posix/file_ops.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

namespace vellumar::platform::posix {
namespace {

int SysOpen(const char* path, int flags) { return ::open(path, flags); }

constexpr FileOps kSystemFileOps = {
    SysOpen, ::fstat, ::flock, ::pread, ::close,
};

std::atomic<const FileOps*> g_pFileOps{&kSystemFileOps};

}  // namespace

const FileOps& SystemFileOps() noexcept { return kSystemFileOps; }

const FileOps& CurrentFileOps() noexcept { return *g_pFileOps.load(std::memory_order_acquire); }

namespace test {
const FileOps* SetFileOps(const FileOps* ops) noexcept {
  return g_pFileOps.exchange(ops != nullptr ? ops : &kSystemFileOps, std::memory_order_acq_rel);
}
}  // namespace test

}  // namespace vellumar::platform::posix
