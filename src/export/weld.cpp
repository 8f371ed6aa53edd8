// Corner welding by chained hashing of the three indices of a corner.
#include "export/weld.h"

#include <algorithm>

namespace sceneio {

void CornerWelder::Start(size_t positions, size_t faces) {
  size_t buckets = 16;
  while (buckets < std::max(positions, faces)) buckets *= 2;
  chainHead_.assign(buckets, -1);
  chainNext_.clear();
  chainNext_.reserve(positions);
}

void CornerWelder::Release() {
  chainHead_ = {};
  chainNext_ = {};
}

size_t CornerWelder::BucketOf(const WeldedVertex& corner) const {
  // Each index spread by its own odd constant, then the high bits folded down (the table's
  // size is a power of two, so only the low bits choose).
  uint64_t h = static_cast<uint32_t>(corner.position) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<uint32_t>(corner.normal) * 0xC2B2AE3D27D4EB4Full;
  h ^= static_cast<uint32_t>(corner.uv) * 0x165667B19E3779F9ull;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<size_t>(h) & (chainHead_.size() - 1);
}

uint32_t CornerWelder::Weld(const WeldedVertex& corner, std::vector<WeldedVertex>& vertices) {
  int32_t& head = chainHead_[BucketOf(corner)];
  for (int32_t at = head; at >= 0; at = chainNext_[static_cast<size_t>(at)]) {
    const WeldedVertex& seen = vertices[static_cast<size_t>(at)];
    if (seen.position == corner.position && seen.normal == corner.normal && seen.uv == corner.uv) {
      return static_cast<uint32_t>(at);
    }
  }
  const auto added = static_cast<int32_t>(vertices.size());
  vertices.push_back(corner);
  chainNext_.push_back(head);
  head = added;
  return static_cast<uint32_t>(added);
}

}  // namespace sceneio
