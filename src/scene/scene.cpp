// The load driver: group file first, then each data file in the fixed order of kinds.
#include "sceneio/scene.h"

#include <new>

#include "scene/include_resolver.h"
#include "sceneio/body.h"

namespace sceneio {
namespace {

struct Kind {
  const char* extension;
  std::unique_ptr<FileBuffer> Scene::*file;
  int32_t (*parse)(const FileBuffer&, Scene&, ParseObserver*);
};

constexpr Kind kKinds[] = {
    {".lgt", &Scene::lightFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseLights(f, s.lights, o); }},
    {".cam", &Scene::cameraFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseCamera(f, s.camera, o); }},
    {".gmf", &Scene::materialFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) {
       return ParseMaterials(f, s.materials, o);
     }},
    {".gof", &Scene::objectFile,
     [](const FileBuffer& f, Scene& s, ParseObserver* o) { return ParseObjects(f, s.objects, o); }},
};

int32_t LoadFiles(Scene& scene, const char* groupPath, ParseObserver* observer) {
  scene.groupFile = std::make_unique<FileBuffer>(groupPath);
  if (!scene.groupFile->data) return -1;
  for (const Kind& kind : kKinds) {
    // The resolved path is needed only while its buffer is made; the buffer keeps a copy.
    std::unique_ptr<char[]> path = ResolveInclude(*scene.groupFile, kind.extension);
    // Stored before it is tested: a buffer whose file was not read is still the Scene's.
    auto& buffer = scene.*kind.file;
    buffer = std::make_unique<FileBuffer>(path.get());
    if (!buffer->data) return -1;
    if (observer != nullptr) observer->BeginFile(*buffer, kind.extension);
    if (kind.parse(*buffer, scene, observer) == kOutOfMemory) return -1;
  }
  return 0;
}

}  // namespace

int32_t Scene::Load(const char* groupPath) {
  return Load(groupPath, nullptr);
}

int32_t Scene::Load(const char* groupPath, ParseObserver* observer) {
  // Strings can still run out of memory; that ends the load like any other allocation failure.
  try {
    return LoadFiles(*this, groupPath, observer);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace sceneio
