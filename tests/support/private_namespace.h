// A namespace of named objects (shared blocks, events, windows, locks,
// registered messages) that no other test, and no logger the user runs,
// shares: VELLUMAR_NAMESPACE names it for the scope, and children started
// meanwhile inherit it.
#pragma once

#include <string>

#include "support/environment.h"

namespace vellumar::testing {

class PrivateNamespace {
 public:
  PrivateNamespace();
  // Stops every program still running in the namespace (a logger a test
  // started, say), then removes every object left in it.
  ~PrivateNamespace();
  PrivateNamespace(const PrivateNamespace&) = delete;
  PrivateNamespace& operator=(const PrivateNamespace&) = delete;

  const std::string& name() const { return name_; }
  // The entry that puts a child into the namespace (ChildOptions::environment).
  std::string EnvironmentEntry() const { return "VELLUMAR_NAMESPACE=" + name_; }

 private:
  static std::string NewName();

  std::string name_;
  ScopedEnv env_;
};

}  // namespace vellumar::testing
