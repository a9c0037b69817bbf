// Loading a module (a shared library or DLL) at run time and finding its
// exports by name. The module stays loaded while the object lives.
#pragma once

#include <string>

namespace vellumar::platform {

class DynamicLibrary {
 public:
  // An exported function, before it is cast to its real type.
  using Symbol = void (*)();

  DynamicLibrary() noexcept = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the module at `path`, resolving everything it needs at once. On
  // failure the object holds nothing and `error` gets the system's reason.
  static DynamicLibrary Load(const char* path, std::string& error);

  explicit operator bool() const noexcept { return m_handle != nullptr; }

  // The export named `name`, or nullptr when the module has none.
  Symbol Find(const char* name) const noexcept;

  // The export named `name` as a function of type F, or nullptr.
  template <typename F>
  F Find(const char* name) const noexcept {
    return reinterpret_cast<F>(Find(name));
  }

  // Unloads the module; nothing found in it may be used afterwards.
  void Close() noexcept;

 private:
  explicit DynamicLibrary(void* handle) noexcept : m_handle(handle) {}

  void* m_handle = nullptr;  // the backend's handle of the loaded module
};

}  // namespace vellumar::platform
