// The object file: bodies with vertex, normal, uv, face, face-part and segment sections, and the
// record each body is read into.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"
#include "sceneio/types.h"

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

// 0, or kOutOfMemory when an array cannot be allocated.
// `observer`, when given, is told what the parse passes over, fails at and reads out of step.
int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects, ParseObserver* observer);
inline int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects) {
  return ParseObjects(file, objects, nullptr);
}

}  // namespace sceneio
