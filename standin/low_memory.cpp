#include "standin/low_memory.h"

#include <cstdlib>

#if UINTPTR_MAX > 0xFFFFFFFFu
#include <sys/mman.h>

#include <algorithm>
#endif

namespace standin {

#if UINTPTR_MAX == 0xFFFFFFFFu

void* allocateLowMemory(std::size_t bytes) { return ::operator new(bytes); }
void releaseLowMemory(void* memory, std::size_t) noexcept { ::operator delete(memory); }

#else

// A bump arena over chunks mapped below 2 GiB. Nothing is reused while any
// allocation is live; when the last one is released (the protocol was cleared
// or replaced) the arena starts again from its first chunk.
namespace {

constexpr std::size_t kChunkBytes = std::size_t{16} << 20;
constexpr std::size_t kAlignment = 16;

struct Chunk {
  char* base;
  std::size_t size;
  std::size_t used;
};

struct Arena {
  std::vector<Chunk> chunks;
  std::size_t current = 0;
  std::size_t live = 0;
};

// Never destroyed: protocols held in other static objects release into it at exit.
Arena& arena() {
  static Arena* const instance = new Arena;
  return *instance;
}

Chunk mapChunk(std::size_t bytes) {
  const std::size_t size = std::max(kChunkBytes, (bytes + kChunkBytes - 1) / kChunkBytes * kChunkBytes);
  void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  return {static_cast<char*>(base), size, 0};
}

}  // namespace

void* allocateLowMemory(std::size_t bytes) {
  Arena& a = arena();
  if (bytes > SIZE_MAX - kAlignment) throw std::bad_alloc();
  const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + kAlignment - 1) / kAlignment * kAlignment;
  while (a.current < a.chunks.size() && a.chunks[a.current].size - a.chunks[a.current].used < rounded) ++a.current;
  if (a.current == a.chunks.size()) a.chunks.push_back(mapChunk(rounded));
  Chunk& chunk = a.chunks[a.current];
  void* memory = chunk.base + chunk.used;
  chunk.used += rounded;
  ++a.live;
  return memory;
}

void releaseLowMemory(void* memory, std::size_t) noexcept {
  Arena& a = arena();
  if (memory == nullptr || a.live == 0) return;
  if (--a.live == 0) {
    for (Chunk& chunk : a.chunks) chunk.used = 0;
    a.current = 0;
  }
}

#endif

}  // namespace standin
