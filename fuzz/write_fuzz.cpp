// Any loadable scene written as the five files and loaded again: the second load must give the
// same records bit for bit (null and empty arrays apart, the camera there or not), writing that
// scene again must give the same bytes, and the group file's body-material entries must come
// back as written. A refusal must name a class that a loaded scene can fall into, and a scene
// with no record the filling pass left unreached is refused only for a name. Input: the five
// files as in scene_files.h.
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "scene_files.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"
#include "writers/writers.h"

namespace {

using namespace sceneio;

constexpr std::string_view kLoadableClasses[] = {refusal::kUnreached, refusal::kEmptyBodyName,
                                                 refusal::kFacePartsCutShort,
                                                 refusal::kCountedName};

bool RefusedForALoadableClass(const Status& status) {
  if (status.code != StatusCode::kInvalidScene) return false;
  for (std::string_view klass : kLoadableClasses) {
    if (status.message.find(": " + std::string(klass) + ": ") != std::string::npos) return true;
  }
  return false;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

std::string Flat(const Scene& scene) {
  return fuzz::Flatten(scene.lights) + '|' + fuzz::Flatten(scene.camera) + '|' +
         fuzz::Flatten(scene.materials) + '|' + fuzz::Flatten(scene.objects);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SceneFiles::Create();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view extra;
  if (!fuzz::SceneFiles::Write({reinterpret_cast<const char*>(data), size}, extra)) return -1;
  Scene first;
  if (first.Load(fuzz::SceneFiles::GroupPath().c_str()) != 0) return 0;

  // The group file's complete entries are carried over, as scene-convert carries them.
  WriteOptions options;
  FUZZ_CHECK(GroupBodyMaterials(first, options.bodyMaterials).ok());

  SceneText text;
  const Status status = WriteSceneText(first, "w", options, text);
  if (!status.ok()) {
    FUZZ_CHECK(RefusedForALoadableClass(status));
    return 0;
  }
  const std::string folder = fuzz::SceneFiles::OutputPath("w");
  mkdir(folder.c_str(), 0700);
  WriteFile(folder + "/w.grp", text.group);
  WriteFile(folder + "/w.lgt", text.lights);
  WriteFile(folder + "/w.cam", text.camera);
  WriteFile(folder + "/w.gmf", text.materials);
  WriteFile(folder + "/w.gof", text.objects);

  Scene second;
  FUZZ_CHECK(second.Load((folder + "\\w.grp").c_str()) == 0);
  FUZZ_CHECK(Flat(second) == Flat(first));

  std::vector<BodyMaterialEntry> written;
  FUZZ_CHECK(ReadBodyMaterials(text.group, written).ok());
  FUZZ_CHECK(written.size() == options.bodyMaterials.size());
  for (size_t i = 0; i < written.size(); ++i) {
    FUZZ_CHECK(written[i].complete);
    FUZZ_CHECK(written[i].names.body == options.bodyMaterials[i].body);
    FUZZ_CHECK(written[i].names.material == options.bodyMaterials[i].material);
  }

  SceneText again;
  FUZZ_CHECK(WriteSceneText(second, "w", options, again).ok());
  FUZZ_CHECK(again.group == text.group && again.lights == text.lights &&
             again.camera == text.camera && again.materials == text.materials &&
             again.objects == text.objects);
  return 0;
}
