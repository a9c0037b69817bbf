// An environment variable set or cleared for one scope, then put back.
#pragma once

#include <optional>
#include <string>

namespace vellumar::testing {

class ScopedEnv {
 public:
  // Sets `name` to `value`, or clears it when `value` is null.
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace vellumar::testing
