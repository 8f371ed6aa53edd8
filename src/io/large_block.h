// Byte blocks for whole files: large ones mapped like the arrays, left as they come.
#pragma once

#include <cstddef>
#include <new>

#include "sceneio/block.h"

namespace sceneio {

// `n` bytes left as they come, for a block that is about to be overwritten whole.
inline BlockPtr<char> AllocateBytes(size_t n) noexcept {
  if (n < kLargeBlockBytes) return BlockPtr<char>(new (std::nothrow) char[n]);
  char* bytes = static_cast<char*>(MapLargeBlock(n));
  if (bytes == nullptr) return nullptr;
  return BlockPtr<char>(bytes, BlockDeleter<char>(n));
}

}  // namespace sceneio
