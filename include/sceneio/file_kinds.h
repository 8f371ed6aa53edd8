// The five files of a scene, in the order a load reads them: what each is called, the ending
// that names it in the group file, where the Scene keeps it and the parser that reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "sceneio/scene.h"

namespace sceneio {

struct FileKind {
  std::string_view name;       // "light": the dump's key, the summary's row, "the light file"
  std::string_view extension;  // ".lgt": what an include entry's name must hold; "" for group
  std::unique_ptr<FileBuffer> Scene::*file;
  // Reads the file into the scene's collection; null for the group file, which only names the
  // others. 0, or kOutOfMemory.
  int32_t (*parse)(const FileBuffer& file, Scene& scene, ParseObserver* observer);
};

inline constexpr FileKind kFileKinds[] = {
    {"group", "", &Scene::groupFile, nullptr},
    {"light", ".lgt", &Scene::lightFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseLights(f, s.lights, o); }},
    {"camera", ".cam", &Scene::cameraFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseCamera(f, s.camera, o); }},
    {"material", ".gmf", &Scene::materialFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) {
       return ParseMaterials(f, s.materials, o);
     }},
    {"object", ".gof", &Scene::objectFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseObjects(f, s.objects, o); }},
};

// The group file's row, and the data files' rows after it.
inline constexpr const FileKind& kGroupKind = kFileKinds[0];

}  // namespace sceneio
