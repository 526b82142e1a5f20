// Replaces the global (unaligned) allocation functions with malloc/free
// versions that count the blocks handed out and those still alive, so a
// test or benchmark can show a stretch of code allocates nothing, or gives
// back all it took.
#include "counting_new/counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> allocations{0};
std::atomic<long long> live{0};

void* TryAllocate(std::size_t size) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) live.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void* Allocate(std::size_t size) {
  if (void* p = TryAllocate(size)) return p;
  throw std::bad_alloc();
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  live.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

long long AllocationCount() { return allocations.load(std::memory_order_relaxed); }
long long LiveAllocations() { return live.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return TryAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return TryAllocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
