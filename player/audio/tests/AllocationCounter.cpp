// Replacing the global operator new is the only way to see allocations made anywhere. Kept in
// a unit of its own so that no caller can inline it (GCC then warns about new/free pairs).
#include "player/audio/tests/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gCounting{false};
std::atomic<int> gCount{0};
}  // namespace

void* operator new(std::size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) gCount.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace qvr::audio::testing {

void StartCountingAllocations() {
  gCount = 0;
  gCounting = true;
}

int StopCountingAllocations() {
  gCounting = false;
  return gCount.load();
}

}  // namespace qvr::audio::testing
