// Corner welding: the corners of a body's faces that use the same position, normal and uv
// indices become one vertex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sceneio/export.h"

namespace sceneio {

// One vertex per distinct (position, normal, uv) in order of first use. Corners are chained
// from a bucket chosen by a hash of all three indices, with at least as many buckets as
// positions or faces: a chain holds about one corner, even in a file whose faces give one
// position a million different uvs (chains per position would make that quadratic).
class CornerWelder {
 public:
  // Ready for a body of `positions` positions and `faces` faces; forgets any earlier body.
  void Start(size_t positions, size_t faces);
  // The index in `vertices` of the vertex `corner` is, appended when it is new.
  uint32_t Weld(const WeldedVertex& corner, std::vector<WeldedVertex>& vertices);
  // Gives the tables' memory back.
  void Release();

 private:
  size_t BucketOf(const WeldedVertex& corner) const;

  std::vector<int32_t> chainHead_;  // per bucket: the last welded vertex in it, or -1
  std::vector<int32_t> chainNext_;  // per welded vertex: the one before it in its bucket
};

}  // namespace sceneio
