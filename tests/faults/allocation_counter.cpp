// The replaced global operator new and delete behind allocation_counter.h. Sizes are taken from
// the allocator (malloc_usable_size) on both sides, so a block is counted the same when it is
// taken and when it is given back. Blocks of 4 MiB and up never reach operator new: the loader
// maps them itself, so its two mapping functions are wrapped too (the test binary links with
// --wrap for both) and counted, and made to fail, like any other allocation. One thread only:
// the counters are plain integers.
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

bool FailThisOne() {
  if (failCountdown > 0 && --failCountdown == 0) {
    failed = true;
    return true;
  }
  return false;
}

void Count(size_t asked, size_t taken) {
  held += taken;
  stats.total += taken;
  if (asked > stats.largest) stats.largest = asked;
  if (held > heldAtReset && held - heldAtReset > stats.peak) stats.peak = held - heldAtReset;
}

void* Take(size_t size) {
  if (FailThisOne()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  Count(size, malloc_usable_size(block));
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

// sceneio::MapLargeBlock(size_t) and sceneio::UnmapLargeBlock(void*, size_t), by their linker
// names.
extern "C" void* __real__ZN7sceneio13MapLargeBlockEm(size_t bytes) noexcept;
extern "C" void __real__ZN7sceneio15UnmapLargeBlockEPvm(void* block, size_t bytes) noexcept;

extern "C" void* __wrap__ZN7sceneio13MapLargeBlockEm(size_t bytes) noexcept {
  if (sceneio::testing::FailThisOne()) return nullptr;
  void* block = __real__ZN7sceneio13MapLargeBlockEm(bytes);
  if (block != nullptr) sceneio::testing::Count(bytes, bytes);
  return block;
}

extern "C" void __wrap__ZN7sceneio15UnmapLargeBlockEPvm(void* block, size_t bytes) noexcept {
  if (block != nullptr) sceneio::testing::held -= bytes;
  __real__ZN7sceneio15UnmapLargeBlockEPvm(block, bytes);
}

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
