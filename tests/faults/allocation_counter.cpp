// The replaced global operator new and delete behind allocation_counter.h. Sizes are taken from
// the allocator (malloc_usable_size) on both sides, so a block is counted the same when it is
// taken and when it is given back. One thread only: the counters are plain integers.
#include "faults/allocation_counter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace sceneio::testing {
namespace {

size_t held = 0;
size_t heldAtReset = 0;
AllocationStats stats;

size_t failCountdown = 0;  // 0: no allocation is made to fail
bool failed = false;

void* Take(size_t size) {
  if (failCountdown > 0 && --failCountdown == 0) {
    failed = true;
    return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  const size_t usable = malloc_usable_size(block);
  held += usable;
  stats.total += usable;
  if (size > stats.largest) stats.largest = size;
  if (held > heldAtReset && held - heldAtReset > stats.peak) stats.peak = held - heldAtReset;
  return block;
}

void Give(void* block) {
  if (block == nullptr) return;
  held -= malloc_usable_size(block);
  std::free(block);
}

void* TakeOrThrow(size_t size) {
  void* block = Take(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void ResetAllocationStats() {
  stats = AllocationStats{};
  heldAtReset = held;
}

AllocationStats CurrentAllocationStats() {
  return stats;
}

size_t HeldBytes() {
  return held;
}

void FailAllocation(size_t n) {
  failCountdown = n;
  failed = false;
}

bool StopFailing() {
  failCountdown = 0;
  return failed;
}

}  // namespace sceneio::testing

using sceneio::testing::Give;
using sceneio::testing::Take;
using sceneio::testing::TakeOrThrow;

void* operator new(size_t size) {
  return TakeOrThrow(size);
}
void* operator new[](size_t size) {
  return TakeOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return Take(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return Take(size);
}
void operator delete(void* block) noexcept {
  Give(block);
}
void operator delete[](void* block) noexcept {
  Give(block);
}
void operator delete(void* block, size_t) noexcept {
  Give(block);
}
void operator delete[](void* block, size_t) noexcept {
  Give(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
