// The owning pointer of every array a load makes, and the allocation behind it: blocks big
// enough are mapped to fault in 2 MiB at a time.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

namespace sceneio {

// From this size on a block is mapped on its own, 2 MiB-aligned and advised for huge pages:
// faulting it in then costs one fault per 2 MiB instead of one per 4 KiB. Below it the
// allocator's blocks are cheaper and a huge page would mostly be waste.
inline constexpr size_t kLargeBlockBytes = size_t{4} << 20;

// `bytes` of fresh zero pages at a 2 MiB boundary, or null when they cannot be had. Where the
// system has no huge pages the advice is refused and the block is ordinary pages.
void* MapLargeBlock(size_t bytes) noexcept;
void UnmapLargeBlock(void* block, size_t bytes) noexcept;

// Releases what Allocate* below handed out: a block from new[] when `mappedCount` is 0, else a
// mapped block of that many elements, destroyed first. Made from std::default_delete, so a
// block from new[] can still be handed over as before (`data.reset(new char[n])`).
template <typename T>
struct BlockDeleter {
  size_t mappedCount = 0;

  constexpr BlockDeleter() noexcept = default;
  constexpr explicit BlockDeleter(size_t count) noexcept : mappedCount(count) {}
  constexpr BlockDeleter(std::default_delete<T[]> /*plain*/) noexcept {}

  void operator()(T* items) const noexcept {
    if (mappedCount == 0) {
      delete[] items;
      return;
    }
    std::destroy_n(items, mappedCount);
    UnmapLargeBlock(items, mappedCount * sizeof(T));
  }
};

template <typename T>
using BlockPtr = std::unique_ptr<T[], BlockDeleter<T>>;

namespace block_detail {

template <size_t n>
constexpr bool AllZero(const std::array<unsigned char, n>& bytes) {
  for (unsigned char byte : bytes) {
    if (byte != 0) return false;
  }
  return true;
}

}  // namespace block_detail

// A type whose value-initialised object is all zero bytes, checked by the compiler: fresh zero
// pages then already hold value-initialised elements and need no pass of their own.
template <typename T>
concept ZeroBytesAreValueInitialised = std::is_trivially_copyable_v<T> &&
    std::is_trivially_destructible_v<T> && std::is_default_constructible_v<T> && requires {
  typename std::enable_if_t<block_detail::AllZero(
      std::bit_cast<std::array<unsigned char, sizeof(T)>>(T{}))>;
};

// `n` value-initialised elements, or null when they cannot be had.
template <typename T>
BlockPtr<T> AllocateArray(size_t n) noexcept {
  // Below the size in bytes, written so that n * sizeof(T) cannot overflow.
  if (n <= (kLargeBlockBytes - 1) / sizeof(T)) return BlockPtr<T>(new (std::nothrow) T[n]());
  if (n > SIZE_MAX / sizeof(T)) return nullptr;
  T* items = static_cast<T*>(MapLargeBlock(n * sizeof(T)));
  if (items == nullptr) return nullptr;
  if constexpr (!ZeroBytesAreValueInitialised<T>) std::uninitialized_value_construct_n(items, n);
  return BlockPtr<T>(items, BlockDeleter<T>(n));
}

}  // namespace sceneio
