#include <stdlib.h>

#include "support/environment.h"

namespace vellumar::testing {

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = ::getenv(name)) old_ = old;
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    ::setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace vellumar::testing
