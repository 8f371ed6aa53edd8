// The camera file: a header up to ")", then one parenthesised block of camera keywords.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"
#include "sceneio/types.h"

namespace sceneio {

struct Camera {
  std::string name;  // no keyword of the camera file fills it
  float viewAngle = 0;
  float hither = 0;
  float yon = 0;
  Vector3 location;
  Vector3 aim;
  Vector3 lookupVector;  // the up direction
};

// 0, or kOutOfMemory when the camera cannot be allocated.
// `observer`, when given, is told what the parse passes over, fails at and leaves unread.
int32_t ParseCamera(const FileBuffer& file, CountedArray<Camera>& camera, ParseObserver* observer);
inline int32_t ParseCamera(const FileBuffer& file, CountedArray<Camera>& camera) {
  return ParseCamera(file, camera, nullptr);
}

}  // namespace sceneio
