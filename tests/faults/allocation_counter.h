// Counts every byte the program takes through operator new, so a test can bound the memory a
// parse needs without timing anything. Defined in allocation_counter.cpp, which replaces the
// global operator new and delete of the executable that links it.
#pragma once

#include <cstddef>

namespace sceneio::testing {

struct AllocationStats {
  size_t total = 0;    // bytes taken since the last reset, freed or not
  size_t peak = 0;     // most bytes held at once since the last reset, above what was held then
  size_t largest = 0;  // the largest single request since the last reset
};

void ResetAllocationStats();
AllocationStats CurrentAllocationStats();
// Bytes taken and not yet given back, since the program started.
size_t HeldBytes();

// Makes the n-th allocation from now on (n >= 1) fail: the nothrow forms give null, the others
// throw std::bad_alloc. Later ones succeed again.
void FailAllocation(size_t n);
// Stops a failure not yet reached; returns whether the one asked for happened.
bool StopFailing();

}  // namespace sceneio::testing
