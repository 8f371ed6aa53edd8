// Value types shared by every record of a scene, and the owning array that holds each collection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sceneio/block.h"

namespace sceneio {

struct Vector3 {
  float x = 0;
  float y = 0;
  float z = 0;
};

// A colour is not a direction: its own type keeps the two from being passed for each other.
struct Color3 {
  float r = 0;
  float g = 0;
  float b = 0;
};

struct Vector2 {
  float u = 0;
  float v = 0;
};

// What a parser returns when one of its arrays could not be allocated; `Load` then fails.
inline constexpr int32_t kOutOfMemory = -2;

template <typename T>
struct CountedArray {
  int32_t count = 0;
  BlockPtr<T> items;  // null, or exactly `count` value-initialised elements

  // Drops any earlier array first, so a repeated section replaces it and never leaks (and the
  // two are never held at once). A zero-length array is present, not absent.
  [[nodiscard]] bool Allocate(int32_t n) {
    items.reset();
    count = 0;
    if (n < 0) return false;
    items = AllocateArray<T>(static_cast<size_t>(n));
    if (items) count = n;
    return items != nullptr;
  }

  T* begin() { return items.get(); }
  T* end() { return items.get() + (items ? count : 0); }
  const T* begin() const { return items.get(); }
  const T* end() const { return items.get() + (items ? count : 0); }
};

}  // namespace sceneio
