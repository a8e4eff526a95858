#include "standin/low_memory.h"

#include <cstdlib>

#if UINTPTR_MAX > 0xFFFFFFFFu
#include <sys/mman.h>

#include <algorithm>
#include <array>
#endif

namespace standin {

#if UINTPTR_MAX == 0xFFFFFFFFu

void* allocateLowMemory(std::size_t bytes) { return ::operator new(bytes); }
void releaseLowMemory(void* memory, std::size_t) noexcept { ::operator delete(memory); }

#else

// Chunks mapped below 2 GiB, handed out in blocks of power-of-two sizes. A
// released block waits in the list of its size for the next allocation of
// that size: a vector that grows by doubling leaves behind exactly the sizes
// that the other vectors grow into, so a protocol of a million intervals
// takes about twice its size, not the sum of every size its vectors passed
// through. When the last block is released (the protocol was cleared or
// replaced) everything starts again from the first chunk.
namespace {

constexpr std::size_t kChunkBytes = std::size_t{16} << 20;
constexpr std::size_t kSmallestBlock = 16;
constexpr std::size_t kSizeClasses = 64;

struct Chunk {
  char* base;
  std::size_t size;
  std::size_t used;
};

// A released block, linked through its own first bytes.
struct FreeBlock {
  FreeBlock* next;
};

struct Arena {
  std::vector<Chunk> chunks;
  std::size_t current = 0;
  std::size_t live = 0;
  std::array<FreeBlock*, kSizeClasses> released{};
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

// The size class of a block: blocks of class c hold kSmallestBlock << c bytes.
std::size_t sizeClass(std::size_t bytes) {
  std::size_t size = kSmallestBlock;
  std::size_t index = 0;
  while (size < bytes) {
    size <<= 1;
    ++index;
  }
  return index;
}

}  // namespace

void* allocateLowMemory(std::size_t bytes) {
  Arena& a = arena();
  if (bytes > (std::size_t{1} << 46)) throw std::bad_alloc();  // beyond what 32-bit addresses reach
  const std::size_t index = sizeClass(std::max<std::size_t>(bytes, 1));
  if (FreeBlock* block = a.released[index]) {
    a.released[index] = block->next;
    ++a.live;
    return block;
  }
  const std::size_t rounded = kSmallestBlock << index;
  while (a.current < a.chunks.size() && a.chunks[a.current].size - a.chunks[a.current].used < rounded) ++a.current;
  if (a.current == a.chunks.size()) a.chunks.push_back(mapChunk(rounded));
  Chunk& chunk = a.chunks[a.current];
  void* memory = chunk.base + chunk.used;
  chunk.used += rounded;
  ++a.live;
  return memory;
}

void releaseLowMemory(void* memory, std::size_t bytes) noexcept {
  Arena& a = arena();
  if (memory == nullptr || a.live == 0) return;
  if (--a.live == 0) {
    for (Chunk& chunk : a.chunks) chunk.used = 0;
    a.current = 0;
    a.released.fill(nullptr);
    return;
  }
  const std::size_t index = sizeClass(std::max<std::size_t>(bytes, 1));
  auto* block = static_cast<FreeBlock*>(memory);
  block->next = a.released[index];
  a.released[index] = block;
}

#endif

}  // namespace standin
