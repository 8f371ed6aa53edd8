// Writes a loaded scene as glTF 2.0: a .gltf with its .bin (and textures) beside it, or one .glb.
#pragma once

#include <string>

#include "sceneio/export.h"
#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// Which glTF container a path asks for: by its ending, ".gltf" or ".glb" (case as written).
enum class GltfContainer : uint8_t { kNone, kGltf, kGlb };
GltfContainer GltfContainerOf(const std::string& outputPath);

// Maps `scene` under `options` (PrepareExport) and writes it to `outputPath`, a native path
// ending in .gltf or .glb. Every file is first written beside its final place and renamed
// there only once all of them are complete: on failure nothing new is left behind and files
// already at those paths are untouched. Throws nothing.
Status WriteGltf(const Scene& scene, const ExportOptions& options, const std::string& outputPath);

}  // namespace sceneio
