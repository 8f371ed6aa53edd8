// Writes a scene as the five files it loads from: a group file and, beside it, the light,
// camera, material and object files, which load back as the same scene, field for field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/body_materials.h"
#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

struct WriteOptions {
  // Written after the include entries, in this order.
  std::vector<BodyMaterial> bodyMaterials;
  // Make the group file's folder and the folders above it when they are missing (they are
  // removed again when the write fails), rather than fail.
  bool createFolders = false;
};

// The text of the five files, for a caller that takes the bytes instead of files.
struct SceneText {
  std::string group;
  std::string lights;
  std::string camera;
  std::string materials;
  std::string objects;
};

// Writes `scene` to `groupPath` (a native path ending in ".grp", whose base name names the
// four data files: OUT/name.grp -> OUT/name.lgt, .cam, .gmf, .gof) and copies the textures the
// materials name beside it when it goes to another folder. Every file is written beside its
// final path and all are put in place together; on failure nothing new is left and files
// already at those paths are untouched.
//   kBadOptions: the base name cannot be carried by the group file's quoted names (empty, or
//     holding whitespace, a double quote, a backslash or one of the four extensions), or an
//     entry of `options` is not a name token.
//   kInvalidScene: the scene holds a value that cannot be written so that it loads back the
//     same; the message names the record, the field and the class. Nothing is written.
//   kWriteFailed, kOutOfMemory.
Status WriteScene(const Scene& scene, const std::string& groupPath, const WriteOptions& options);

// The same text in memory: `baseName` is what the include entries name ("name" ->
// "name.lgt"). Fails as WriteScene does, but writes no file.
Status WriteSceneText(const Scene& scene, const std::string& baseName, const WriteOptions& options,
                      SceneText& text);

}  // namespace sceneio
