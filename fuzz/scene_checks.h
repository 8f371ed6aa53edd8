// What must hold for each collection after its parser ran over a file, whatever the file holds.
// The expected counts come from an independent split of the bytes into tokens.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/file_buffer.h"
#include "sceneio/light.h"
#include "sceneio/material.h"

namespace sceneio::fuzz {

inline bool IsZero(const Vector3& v) {
  return std::bit_cast<uint32_t>(v.x) == 0 && std::bit_cast<uint32_t>(v.y) == 0 &&
         std::bit_cast<uint32_t>(v.z) == 0;
}
inline bool IsZero(const Color3& c) {
  return IsZero(Vector3{c.r, c.g, c.b});
}
inline bool IsZero(const Vector2& v) {
  return IsZero(Vector3{v.u, v.v, 0});
}

// Checks the lights against the file and returns the result the parser must have given: -1
// when there is no "<" ... ">" list, 0 otherwise.
inline int32_t CheckLights(const FileBuffer& file, const CountedArray<Light>& lights) {
  CheckArray(lights);
  const auto tokens = Tokens(file.data.get(), static_cast<size_t>(file.size));
  const auto open = std::find(tokens.begin(), tokens.end(), "<");
  const auto close = open == tokens.end() ? tokens.end() : std::find(open + 1, tokens.end(), ">");
  if (close == tokens.end()) {
    FUZZ_CHECK(lights.count == 0 && lights.items == nullptr);
    return -1;
  }
  // The list is counted by its "(name" tokens alone, and the array exists even when empty.
  FUZZ_CHECK(lights.items != nullptr);
  FUZZ_CHECK(lights.count == std::count(open + 1, close, "(name"));
  for (const Light& light : lights) {
    CheckTokenText(light.name, static_cast<size_t>(file.size));
    // No keyword fills these.
    FUZZ_CHECK(IsZero(light.extraVector1) && IsZero(light.extraVector2));
    FUZZ_CHECK(light.extraFlag == 0 && light.extraString.empty() && light.extraInt == 0);
    FUZZ_CHECK(IsZero(light.extraPair));
  }
  return 0;
}

inline void CheckCamera(const FileBuffer& file, const CountedArray<Camera>& camera) {
  CheckArray(camera);
  FUZZ_CHECK(camera.count == 0 || camera.count == 1);
  const auto tokens = Tokens(file.data.get(), static_cast<size_t>(file.size));
  const auto header = std::find(tokens.begin(), tokens.end(), ")");
  // Once a ")" and a later "(" exist, the one camera is placed before the body is read.
  if (header != tokens.end() && std::find(header + 1, tokens.end(), "(") != tokens.end()) {
    FUZZ_CHECK(camera.count == 1);
  }
  for (const Camera& c : camera) FUZZ_CHECK(c.name.empty());  // no keyword fills it
}

inline void CheckMaterials(const FileBuffer& file, const CountedArray<Material>& materials) {
  CheckArray(materials);
  const auto tokens = Tokens(file.data.get(), static_cast<size_t>(file.size));
  FUZZ_CHECK(materials.items != nullptr);
  FUZZ_CHECK(materials.count == std::count(tokens.begin(), tokens.end(), "GL_Shade"));
  for (const Material& m : materials) {
    CheckTokenText(m.name, static_cast<size_t>(file.size));
    CheckTokenText(m.textureName, static_cast<size_t>(file.size));
    FUZZ_CHECK(IsZero(m.extraColor2));  // no keyword fills it
  }
}

inline void CheckObjects(const FileBuffer& file, const CountedArray<Body>& objects) {
  CheckArray(objects);
  const auto tokens = Tokens(file.data.get(), static_cast<size_t>(file.size));
  FUZZ_CHECK(objects.items != nullptr);
  FUZZ_CHECK(objects.count <= std::count(tokens.begin(), tokens.end(), "body"));
  // Each counted entry took at least one token of its own in the counting pass (all of its
  // tokens, unless the data ended inside it), so the arrays together never claim more entries
  // than the file has tokens: memory stays linear in the file.
  int64_t claimed = 0;
  for (const Body& body : objects) {
    CheckArray(body.vertices);
    CheckArray(body.normals);
    CheckArray(body.uvs);
    CheckArray(body.faces);
    CheckArray(body.faceParts.indices);
    CheckTokenText(body.name, static_cast<size_t>(file.size));
    CheckTokenText(body.faceParts.firstName, static_cast<size_t>(file.size));
    CheckTokenText(body.faceParts.secondName, static_cast<size_t>(file.size));
    FUZZ_CHECK(body.faceParts.reserved == 0);
    claimed += int64_t{body.vertices.count} + body.normals.count + body.uvs.count +
               body.faces.count + body.faceParts.indices.count;
  }
  FUZZ_CHECK(claimed <= static_cast<int64_t>(tokens.size()));
}

// The parser must leave the bytes as they were.
inline void CheckUnchanged(const FileBuffer& file, const uint8_t* original, size_t size) {
  FUZZ_CHECK(file.size == static_cast<int32_t>(size));
  FUZZ_CHECK(size == 0 || std::memcmp(file.data.get(), original, size) == 0);
}

}  // namespace sceneio::fuzz
