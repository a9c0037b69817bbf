// Named shared blocks: memory that one program creates under a name and
// others open by that name. Names live in the user's namespace of named
// objects (platform/object_namespace.h), so two users never see each other's
// blocks. Each object closes what it holds when it is destroyed.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/os_error.h"
#include "platform/unique_handle.h"

namespace vellumar::platform {

enum class BlockAccess { read, write };

class SharedView;

// An open handle to a named block (not yet mapped).
class SharedMapping {
 public:
  SharedMapping() noexcept = default;
  SharedMapping(SharedMapping&& other) noexcept
      : m_handle(std::move(other.m_handle)),
        m_size(std::exchange(other.m_size, 0)),
        m_access(other.m_access) {}
  SharedMapping& operator=(SharedMapping&& other) noexcept {
    if (this != &other) {
      m_handle = std::move(other.m_handle);
      m_size = std::exchange(other.m_size, 0);
      m_access = other.m_access;
    }
    return *this;
  }

  // Opens an existing block; an empty object when there is none (or it
  // belongs to another user, or is open to others than the user).
  static SharedMapping Open(const char* name, BlockAccess access) noexcept;

  // Creates the block, zero-filled, of `size` bytes, for the user alone. A
  // block of that name left behind by an earlier creator is replaced. An
  // empty object on failure, with the reason in `error` when one is given.
  static SharedMapping Create(const char* name, std::size_t size,
                              OsError* error = nullptr) noexcept;

  // Removes the name; handles and views already open stay usable.
  static bool Remove(const char* name) noexcept;

  explicit operator bool() const noexcept { return static_cast<bool>(m_handle); }
  // The block's size in bytes, learnt when it was opened.
  std::size_t size() const noexcept { return m_size; }

  // Maps the whole block with this handle's access; an empty view on
  // failure, with the reason in `error` when one is given.
  SharedView MapView(OsError* error = nullptr) const noexcept;

  void Close() noexcept {
    m_handle.Close();
    m_size = 0;
  }

 private:
  UniqueHandle m_handle;
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

  // Gives up the view without unmapping it: the mapping is the caller's to
  // end, by the backend's own means.
  void* Release() noexcept {
    m_size = 0;
    return std::exchange(m_data, nullptr);
  }

 private:
  friend class SharedMapping;
  SharedView(void* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

  void* m_data = nullptr;
  std::size_t m_size = 0;
};

}  // namespace vellumar::platform
