// Large blocks mapped on their own at a 2 MiB boundary and advised for transparent huge pages.
#include "io/large_block.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define SCENEIO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCENEIO_ASAN 1
#endif
#endif
#if defined(SCENEIO_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace sceneio {
namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

uintptr_t PageSize() {
  static const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return page;
}

uintptr_t RoundUp(uintptr_t value, uintptr_t unit) {
  return (value + unit - 1) & ~(unit - 1);
}

}  // namespace

void* MapLargeBlock(size_t bytes) noexcept {
  const uintptr_t length = RoundUp(bytes, PageSize());
  if (bytes == 0 || length < bytes || length > SIZE_MAX - kHugePage) return nullptr;
  // Mapped one huge page longer than asked, so that a 2 MiB boundary lies within the first
  // 2 MiB; the slack on either side goes back at once and never holds a page.
  const size_t span = length + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned != start) munmap(raw, aligned - start);
  const uintptr_t tail = aligned + length;
  if (tail != start + span) munmap(reinterpret_cast<void*>(tail), start + span - tail);
  // Advice only: refused where there are no transparent huge pages, ignored where they are
  // off. The last part short of 2 MiB stays in ordinary pages, so nothing past `bytes` is
  // ever resident.
  auto* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
  madvise(block, length, MADV_HUGEPAGE);
#endif
#if defined(SCENEIO_ASAN)
  // The rest of the last page is no part of the block: a read one byte over is reported, as
  // it would be for a block from new[].
  ASAN_POISON_MEMORY_REGION(static_cast<char*>(block) + bytes, length - bytes);
#endif
  return block;
}

void UnmapLargeBlock(void* block, size_t bytes) noexcept {
  if (block == nullptr) return;
  const uintptr_t length = RoundUp(bytes, PageSize());
#if defined(SCENEIO_ASAN)
  // The same addresses may be mapped again for something else.
  ASAN_UNPOISON_MEMORY_REGION(block, length);
#endif
  munmap(block, length);
}

}  // namespace sceneio
