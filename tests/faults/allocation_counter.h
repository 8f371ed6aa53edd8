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

}  // namespace sceneio::testing
