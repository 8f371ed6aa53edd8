// The light file: a list of lights between "<" and ">", one entry per light.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"
#include "sceneio/types.h"

namespace sceneio {

struct Light {
  std::string name;
  float brightness = 0;
  Color3 rgb;
  Vector3 direction;
  // No keyword of the light file fills these; they are part of every Light all the same.
  Vector3 extraVector1;
  Vector3 extraVector2;
  uint8_t extraFlag = 0;
  std::string extraString;
  int32_t extraInt = 0;
  Vector2 extraPair;
};

// 0 once the light array is stored; -1 when the file holds no light list ("<" ... ">"), and
// the collection is then untouched; kOutOfMemory when the array cannot be allocated.
// `observer`, when given, is told what the parse passes over, fails at and leaves unread.
int32_t ParseLights(const FileBuffer& file, CountedArray<Light>& lights, ParseObserver* observer);
inline int32_t ParseLights(const FileBuffer& file, CountedArray<Light>& lights) {
  return ParseLights(file, lights, nullptr);
}

}  // namespace sceneio
