// Named shared blocks: memory that one program creates under a name and
// others open by that name. Names live in a per-user namespace, so two users
// never see each other's blocks. Each object closes what it holds when it is
// destroyed.
#pragma once

#include <cstddef>

namespace vellumar::platform {

enum class BlockAccess { read, write };

class SharedView;

// An open handle to a named block (not yet mapped).
class SharedMapping {
 public:
  SharedMapping() noexcept = default;
  ~SharedMapping();
  SharedMapping(SharedMapping&& other) noexcept;
  SharedMapping& operator=(SharedMapping&& other) noexcept;

  // Opens an existing block; an empty object when there is none (or it
  // belongs to another user, or is open to others than its owner).
  static SharedMapping Open(const char* name, BlockAccess access) noexcept;

  // Creates the block, zero-filled, of `size` bytes and mode 0600. A block
  // of that name left behind by an earlier creator is replaced. Empty object
  // on failure, with errno set.
  static SharedMapping Create(const char* name, std::size_t size) noexcept;

  // Removes the name; handles and views already open stay usable.
  static bool Remove(const char* name) noexcept;

  explicit operator bool() const noexcept { return m_fd >= 0; }
  // The block's size in bytes, learnt when it was opened.
  std::size_t size() const noexcept { return m_size; }

  // Maps the whole block with this handle's access; an empty view on failure.
  SharedView MapView() const noexcept;

  void Close() noexcept;

 private:
  int m_fd = -1;
  std::size_t m_size = 0;
  BlockAccess m_access = BlockAccess::read;
};

// A mapped view of a whole block.
class SharedView {
 public:
  SharedView() noexcept = default;
  ~SharedView();
  SharedView(SharedView&& other) noexcept;
  SharedView& operator=(SharedView&& other) noexcept;

  explicit operator bool() const noexcept { return m_data != nullptr; }
  void* data() const noexcept { return m_data; }
  std::size_t size() const noexcept { return m_size; }

  void Unmap() noexcept;

 private:
  friend class SharedMapping;
  SharedView(void* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

  void* m_data = nullptr;
  std::size_t m_size = 0;
};

// The native name of a per-user object, written into `out` (NUL-terminated):
// the name and the user id, inside the namespace that VELLUMAR_NAMESPACE
// names when it is set. False when it does not fit.
bool PerUserObjectName(const char* name, char* out, std::size_t capacity) noexcept;

}  // namespace vellumar::platform
