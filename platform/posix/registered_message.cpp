// The registry is one per-user shared block of slots, one slot per number.
// A name hashes to a first slot and probes onward; a free slot is claimed
// with a compare-and-swap, so processes that register at once agree without
// any lock that a dying process could leave held.
#include "platform/registered_message.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/user_objects.h"

namespace vellumar::platform {
namespace {

constexpr unsigned kFirstNumber = 0xC000;
constexpr unsigned kSlotCount = 0x10000 - kFirstNumber;

enum SlotState : std::uint32_t { kFree = 0, kClaimed = 1, kPublished = 2 };

struct Slot {
  std::atomic<std::uint32_t> state;
  char name[252];
};
static_assert(sizeof(Slot) == 256);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

constexpr std::size_t kRegistrySize = sizeof(Slot) * kSlotCount;

std::uint32_t HashName(const char* name) noexcept {
  std::uint32_t h = 2166136261u;
  for (; *name != '\0'; ++name) {
    h ^= static_cast<unsigned char>(AsciiToLower(*name));
    h *= 16777619u;
  }
  return h;
}

// Maps the registry, creating it on first use. Every opener sizes it: the
// size is fixed, so whoever comes first, nobody maps a short object.
Slot* MapRegistry() noexcept {
  char native[posix::kMaxObjectName];
  if (!posix::PerUserObjectName("vellumar-messages", native, sizeof native)) return nullptr;
  UniqueHandle fd = posix::AdoptFd(::shm_open(native, O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  struct stat st;
  if (!fd || !posix::OwnedByUserAlone(posix::Fd(fd), st)) return nullptr;
  if (static_cast<std::size_t>(st.st_size) != kRegistrySize &&
      ::ftruncate(posix::Fd(fd), static_cast<off_t>(kRegistrySize)) != 0) {
    return nullptr;
  }
  void* p = ::mmap(nullptr, kRegistrySize, PROT_READ | PROT_WRITE, MAP_SHARED, posix::Fd(fd), 0);
  return p == MAP_FAILED ? nullptr : static_cast<Slot*>(p);
}

// Waits for a claimed slot to be published; false when its writer seems to
// have died between claim and publish (the slot is then passed over).
bool AwaitPublished(const Slot& slot) noexcept {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (slot.state.load(std::memory_order_acquire) == kClaimed) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::sched_yield();
  }
  return true;
}

}  // namespace

unsigned RegisterMessage(const char* name) noexcept {
  if (name == nullptr || *name == '\0') return 0;
  std::size_t length = std::strlen(name);
  if (length >= sizeof(Slot::name)) return 0;

  Slot* slots = MapRegistry();
  if (slots == nullptr) return 0;
  unsigned result = 0;
  std::uint32_t start = HashName(name) % kSlotCount;
  for (std::uint32_t probe = 0; probe < kSlotCount && result == 0; ++probe) {
    std::uint32_t index = (start + probe) % kSlotCount;
    Slot& slot = slots[index];
    std::uint32_t state = slot.state.load(std::memory_order_acquire);
    if (state == kFree) {
      std::uint32_t expected = kFree;
      if (slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) {
        std::memcpy(slot.name, name, length + 1);
        slot.state.store(kPublished, std::memory_order_release);
        result = kFirstNumber + index;
        break;
      }
      state = expected;
    }
    if (state == kClaimed && !AwaitPublished(slot)) continue;
    if (AsciiEqualsIgnoreCase(slot.name, name)) result = kFirstNumber + index;
  }
  ::munmap(slots, kRegistrySize);
  return result;
}

}  // namespace vellumar::platform
