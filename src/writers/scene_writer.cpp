// The whole scene as five files: every kind checked first, so that a refusal writes nothing,
// then each file's text made and handed on in chunks.
#include <new>
#include <string>

#include "sceneio/writer.h"
#include "writers/writers.h"

namespace sceneio {
namespace {

Status CheckScene(const Scene& scene, const std::string& baseName, const WriteOptions& options) {
  for (Status status :
       {CheckGroup(baseName, options), CheckLights(scene.lights), CheckCamera(scene.camera),
        CheckMaterials(scene.materials), CheckObjects(scene.objects)}) {
    if (!status.ok()) return status;
  }
  return {};
}

}  // namespace

Status WriteSceneText(const Scene& scene, const std::string& baseName, const WriteOptions& options,
                      SceneText& text) {
  try {
    Status status = CheckScene(scene, baseName, options);
    if (!status.ok()) return status;
    TextOut group;
    TextOut lights;
    TextOut camera;
    TextOut materials;
    TextOut objects;
    WriteGroup(baseName, options, group);
    WriteLights(scene.lights, lights);
    WriteCamera(scene.camera, camera);
    WriteMaterials(scene.materials, materials);
    WriteObjects(scene.objects, objects);
    text.group = std::move(group.text());
    text.lights = std::move(lights.text());
    text.camera = std::move(camera.text());
    text.materials = std::move(materials.text());
    text.objects = std::move(objects.text());
    return status;
  } catch (const std::bad_alloc&) {
    Status status;
    status.Fail(StatusCode::kOutOfMemory, "out of memory writing the scene");
    return status;
  }
}

}  // namespace sceneio
