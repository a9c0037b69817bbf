#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace vellumar::platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = std::exchange(other.m_handle, nullptr);
  }
  return *this;
}

DynamicLibrary DynamicLibrary::Load(const char* path, std::string& error) {
  // Local: the module's symbols resolve nothing else in the process.
  void* handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "unknown error";
  }
  return DynamicLibrary(handle);
}

DynamicLibrary::Symbol DynamicLibrary::Find(const char* name) const noexcept {
  if (m_handle == nullptr) return nullptr;
  // dlsym gives an object pointer; POSIX guarantees that a function's
  // address survives the conversion.
  return reinterpret_cast<Symbol>(::dlsym(m_handle, name));
}

void DynamicLibrary::Close() noexcept {
  if (m_handle != nullptr) ::dlclose(std::exchange(m_handle, nullptr));
}

}  // namespace vellumar::platform
