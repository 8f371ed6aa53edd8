// A vector scaled to unit length in double: the squared length of a finite float vector, or the
// cross product of two edges of a large face, may overflow a float but not a double.
#pragma once

#include <cmath>

#include "sceneio/types.h"

namespace sceneio {

// The zero vector for one of zero or non-finite length.
inline Vector3 UnitVector(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0) || !std::isfinite(length)) return {};
  return {static_cast<float>(x / length), static_cast<float>(y / length),
          static_cast<float>(z / length)};
}

inline Vector3 UnitVector(const Vector3& v) {
  return UnitVector(v.x, v.y, v.z);
}

}  // namespace sceneio
