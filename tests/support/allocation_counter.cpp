// Replaces the global allocation functions of the test program with ones
// that count, per thread, and forward to malloc.
#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t t_allocations = 0;

void* Allocate(std::size_t size) {
  ++t_allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

namespace vellumar::testing {
std::size_t AllocationCount() noexcept { return t_allocations; }
}  // namespace vellumar::testing

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
