// Counts the C++ heap allocations this process makes, for checking that a
// path allocates nothing.
#pragma once

#include <atomic>
#include <cstddef>

namespace vellumar::testing {

std::size_t AllocationCount() noexcept;

// The allocations made on this thread while the object lives.
class AllocationScope {
 public:
  AllocationScope() noexcept : start_(AllocationCount()) {}
  std::size_t count() const noexcept { return AllocationCount() - start_; }

 private:
  std::size_t start_;
};

}  // namespace vellumar::testing
