// What every import must satisfy, whatever the input: a refusal is one line and leaves the
// caller nothing to use; a success holds names as single quoted tokens, finite values, faces
// whose indices lie inside their body's arrays, and assignments naming what the scene holds.
// Also the folder each importer is fuzzed in, with files an input may name.
#pragma once

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_check.h"
#include "sceneio/import.h"

namespace sceneio::fuzz {

// The signature and IHDR of a 1x1 greyscale PNG: the header is all the importers read.
inline std::string TinyPng() {
  return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\0\0\0\0", 33);
}

// A folder `name` in the temp directory holding `files` (name, bytes), so that the names an
// input gives are tried against real files too.
inline std::string FolderHolding(const char* name,
                                 std::initializer_list<std::pair<const char*, std::string>> files) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(dir);
  for (const auto& [file, bytes] : files) std::ofstream(dir / file, std::ios::binary) << bytes;
  return dir.string();
}

inline bool QuotedToken(std::string_view name) {
  if (name.size() < 3 || name.front() != '"' || name.back() != '"') return false;
  for (const char c : name.substr(1, name.size() - 2)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f || byte == '"') return false;
  }
  return true;
}

inline bool Finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline void CheckImported(const Status& status, const ImportedScene& imported) {
  if (!status.ok()) {
    FUZZ_CHECK(!status.message.empty());
    FUZZ_CHECK(status.message.find('\n') == std::string::npos);
    return;
  }
  const Scene& scene = imported.scene;
  std::set<std::string> bodies;
  for (const Body& body : scene.objects) {
    FUZZ_CHECK(QuotedToken(body.name));
    FUZZ_CHECK(bodies.insert(body.name).second);
    for (const Vector3& p : body.vertices) FUZZ_CHECK(Finite(p));
    for (const Vector3& n : body.normals) FUZZ_CHECK(Finite(n));
    for (const Vector2& uv : body.uvs) FUZZ_CHECK(std::isfinite(uv.u) && std::isfinite(uv.v));
    for (const Face& face : body.faces) {
      for (int k = 0; k < 3; ++k) {
        FUZZ_CHECK(face.triple1[k] >= 0 && face.triple1[k] < body.vertices.count);
        if (body.normals.count > 0)
          FUZZ_CHECK(face.triple2[k] >= 0 && face.triple2[k] < body.normals.count);
        if (body.uvs.count > 0)
          FUZZ_CHECK(face.triple3[k] >= 0 && face.triple3[k] < body.uvs.count);
      }
    }
  }
  std::set<std::string> materials;
  for (const Material& material : scene.materials) {
    FUZZ_CHECK(QuotedToken(material.name));
    FUZZ_CHECK(materials.insert(material.name).second);
    FUZZ_CHECK(material.textureName.empty() || QuotedToken(material.textureName));
  }
  for (const auto& [body, material] : imported.bodyMaterials) {
    FUZZ_CHECK(bodies.count(body) == 1);
    FUZZ_CHECK(materials.count(material) == 1);
  }
  for (const ImportedImage& image : imported.images) {
    FUZZ_CHECK(!image.fileName.empty());
    FUZZ_CHECK(image.fileName.find('/') == std::string::npos);
    FUZZ_CHECK(image.fileName.find("..") == std::string::npos || image.fileName.front() != '.');
    FUZZ_CHECK(!image.bytes.empty());
  }
  for (const Light& light : scene.lights) FUZZ_CHECK(light.name.find('"') == std::string::npos);
  FUZZ_CHECK(scene.camera.count <= 1);
}

}  // namespace sceneio::fuzz
