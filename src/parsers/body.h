// The in-memory form of one geometry object of the object file.
#pragma once

#include <cstdint>
#include <string>

#include "scene/types.h"

namespace sceneio {

// Nine integers as three triples; this system stores them and interprets none.
struct Face {
  int32_t triple1[3] = {0, 0, 0};
  int32_t triple2[3] = {0, 0, 0};
  int32_t triple3[3] = {0, 0, 0};
};

struct FacePartSet {
  std::string firstName;
  std::string secondName;
  uint32_t reserved = 0;  // nothing fills it
  CountedArray<int32_t> indices;
};

struct Body {
  std::string name;  // as read, nothing stripped
  CountedArray<Vector3> vertices;
  CountedArray<Vector3> normals;
  CountedArray<Vector2> uvs;
  FacePartSet faceParts;
  CountedArray<Face> faces;
};

}  // namespace sceneio
