// Counts the allocations made through the global operator new while counting is on. The test
// executable that links AllocationCounter.cpp replaces the global operator new and delete.
#pragma once

namespace qvr::audio::testing {

void StartCountingAllocations();
// Stops counting and returns how many allocations were made since the start.
int StopCountingAllocations();

}  // namespace qvr::audio::testing
