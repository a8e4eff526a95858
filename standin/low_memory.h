#pragma once
// Storage the host hands out through 32-bit pointer fields. A 64-bit stand-in
// host keeps it below 2 GiB so that the records' 32-bit fields can carry its
// address; a 32-bit one uses the ordinary heap.

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace standin {

void* allocateLowMemory(std::size_t bytes);  // throws std::bad_alloc
void releaseLowMemory(void* memory, std::size_t bytes) noexcept;

template <class T>
struct LowMemoryAllocator {
  using value_type = T;
  LowMemoryAllocator() = default;
  template <class U>
  LowMemoryAllocator(const LowMemoryAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocateLowMemory(count * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t count) noexcept { releaseLowMemory(memory, count * sizeof(T)); }
  template <class U>
  bool operator==(const LowMemoryAllocator<U>&) const noexcept {
    return true;
  }
};

// The interval starts or ends of one condition.
using IntervalVector = std::vector<std::int32_t, LowMemoryAllocator<std::int32_t>>;

}  // namespace standin
