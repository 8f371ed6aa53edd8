// Models made by other tools brought in as a Scene: glTF 2.0 (ImportGltf, in sceneio::gltf)
// and OBJ text meshes (ImportObj, in sceneio::obj).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// An image a material names, exactly as the input held it (PNG or JPEG bytes): whoever writes
// the scene puts it beside the material file under `fileName`.
struct ImportedImage {
  std::string fileName;  // a bare file name, as the material's textureName holds it unquoted
  std::vector<unsigned char> bytes;
};

struct ImportedScene {
  // Records as a load of the written files would leave them: body and material names as
  // quoted tokens ("cube"), light names unquoted, texture names quoted. The camera collection
  // is empty when the input has no usable camera.
  Scene scene;
  // Which material each body wears, both as the name tokens the files hold (quoted).
  std::vector<std::pair<std::string, std::string>> bodyMaterials;
  std::vector<ImportedImage> images;
};

// Reads a .gltf (with its buffers and images) or a .glb at `path` (a native path). Files it
// names are read only from the input's own folder: a name that is absolute, holds "..", or is
// a link leading out is refused. On failure the code is kInvalidInput (or kLoadFailed when
// `path` itself cannot be read, kOutOfMemory), the message names the element and why, and
// `out` must not be used.
Status ImportGltf(const std::string& path, ImportedScene& out);

// The same from bytes in memory; `folder` is where named files are looked for ("" refuses
// every external file).
Status ImportGltfFromMemory(const unsigned char* bytes, size_t size, const std::string& folder,
                            ImportedScene& out);

// Reads an OBJ text mesh at `path` with the .mtl files it names (same folder rules).
Status ImportObj(const std::string& path, ImportedScene& out);

// The same from text in memory; `folder` as for ImportGltfFromMemory.
Status ImportObjFromMemory(const char* text, size_t size, const std::string& folder,
                           ImportedScene& out);

}  // namespace sceneio
