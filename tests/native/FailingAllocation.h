// Lets a test make one allocation fail: the next one of exactly `size` bytes
// made on the calling thread throws std::bad_alloc. The program-wide
// operator new that does it forwards every other allocation to malloc, which
// the sanitizers still watch.
#pragma once

#include <cstddef>

namespace purga::test {

void FailNextAllocationOf(std::size_t size);
// True once the armed failure has happened.
bool AllocationFailed();

}  // namespace purga::test
