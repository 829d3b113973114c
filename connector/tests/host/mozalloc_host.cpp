// mozalloc.dll for the tests: the browser's fallible allocator over malloc, counting live blocks
// and able to fail on request.
#define QVR_BUILDING_TEST_HOST
#include "connector/tests/host/TestHost.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long> g_live{0};
std::atomic<bool> g_fail_next{false};
}  // namespace

extern "C" __declspec(dllexport) void* moz_malloc(size_t size) {
  if (g_fail_next.exchange(false)) return nullptr;
  void* block = std::malloc(size);
  if (block != nullptr) ++g_live;
  return block;
}

extern "C" __declspec(dllexport) void moz_free(void* block) {
  if (block == nullptr) return;
  --g_live;
  std::free(block);
}

QVR_TEST_HOST_API long QvrTestHost_LiveAllocations() { return g_live.load(); }
QVR_TEST_HOST_API void QvrTestHost_FailNextAllocation() { g_fail_next = true; }
