#include <cstdlib>
#include <new>

#include "tests/regression/allocation_cap.hpp"

// Windows has no limit on a process's address space that a process can set
// for itself, so this test program caps its allocations itself: the global
// operator new, which every other form of new comes down to, refuses any
// request above 4 GiB. Nothing else in the tests asks for that much.
void* operator new(std::size_t size) {
  constexpr unsigned long long kCap = 4ull << 30;
  void* memory = size <= kCap ? std::malloc(size != 0 ? size : 1) : nullptr;
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace ksatfit::test {

ChildRun run_with_allocation_cap(const std::function<void()>& body) { return run_in_child(body); }

}  // namespace ksatfit::test
