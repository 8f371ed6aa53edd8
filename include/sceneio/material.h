// The material file: blocks from "material" to ")", counted by their "GL_Shade" tokens.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"
#include "sceneio/types.h"

namespace sceneio {

struct Material {
  std::string name;  // the token after "material", quotes and all
  Color3 diffuse;
  Color3 specular;
  Color3 extraColor1;  // "EMISSION-COLOR"
  float opacity = 0;
  float shininess = 0;
  Color3 extraColor2;  // no keyword fills it
  std::string textureName;
  int32_t textureWidth = 0;
  int32_t textureHeight = 0;
  int32_t textureChannels = 0;
  int32_t textureBitsPerChannel = 0;
};

// 0, or kOutOfMemory when the material array cannot be allocated.
// `observer`, when given, is told what the parse passes over, fails at and leaves unread.
int32_t ParseMaterials(const FileBuffer& file, CountedArray<Material>& materials,
                       ParseObserver* observer);
inline int32_t ParseMaterials(const FileBuffer& file, CountedArray<Material>& materials) {
  return ParseMaterials(file, materials, nullptr);
}

}  // namespace sceneio
