#include "tests/native/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace purga::test {

namespace {
thread_local std::size_t failSize = 0;
thread_local bool failed = false;
}  // namespace

void FailNextAllocationOf(std::size_t size) {
  failSize = size;
  failed = false;
}

bool AllocationFailed() { return failed; }

}  // namespace purga::test

// Every form that pairs with the plain delete is replaced together, so that
// memory from one is never returned through another.
void* operator new(std::size_t size) {
  using namespace purga::test;
  if (failSize != 0 && size == failSize) {
    failSize = 0;
    failed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
