// Sets or clears an environment variable for one scope and restores it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

namespace vellumar::testing {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A namespace for named objects that no other test, and no logger the user
// runs, shares: every object a test makes inside it is its own.
class PrivateNamespace {
 public:
  PrivateNamespace()
      : name_("vt" + std::to_string(::getpid()) + "n" + std::to_string(++counter_)),
        env_("VELLUMAR_NAMESPACE", name_.c_str()) {}
  // Removes whatever the namespace's objects left behind.
  ~PrivateNamespace() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
      if (entry.path().filename().string().rfind(name_ + ".", 0) == 0) {
        std::filesystem::remove(entry.path(), ec);
      }
    }
  }
  PrivateNamespace(const PrivateNamespace&) = delete;
  PrivateNamespace& operator=(const PrivateNamespace&) = delete;

  const std::string& name() const { return name_; }

 private:
  static inline int counter_ = 0;
  std::string name_;
  ScopedEnv env_;
};

}  // namespace vellumar::testing
