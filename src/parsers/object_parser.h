// The object file: bodies with vertex, normal, uv, face, face-part and segment sections.
#pragma once

#include <cstdint>

#include "io/file_buffer.h"
#include "parsers/body.h"
#include "parsers/parse_observer.h"
#include "scene/types.h"

namespace sceneio {

// 0, or kOutOfMemory when an array cannot be allocated.
// `observer`, when given, is told what the parse passes over, fails at and reads out of step.
int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects, ParseObserver* observer);
inline int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects) {
  return ParseObjects(file, objects, nullptr);
}

}  // namespace sceneio
