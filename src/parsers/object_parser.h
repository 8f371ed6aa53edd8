// The object file: bodies with vertex, normal, uv, face, face-part and segment sections.
#pragma once

#include <cstdint>

#include "io/file_buffer.h"
#include "parsers/body.h"
#include "scene/types.h"

namespace sceneio {

// 0, or kOutOfMemory when an array cannot be allocated.
int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects);

}  // namespace sceneio
