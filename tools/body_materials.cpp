// The body-material assignments of a conversion, from the group file and the command line.
#include "body_materials.h"

#include <algorithm>
#include <string_view>

#include "io/names.h"

namespace sceneio {
namespace {

// A name token as scene-inspect shows it, and as --material and the export name it.
std::string Shown(std::string_view token) {
  return ShownBytes(WithoutQuotes(token));
}

template <typename Record>
bool Holds(const CountedArray<Record>& records, std::string_view token) {
  return std::any_of(records.begin(), records.end(),
                     [&](const Record& record) { return record.name == token; });
}

}  // namespace

std::vector<BodyMaterial> GroupBodyMaterials(const Scene& scene) {
  std::vector<BodyMaterial> out;
  if (scene.groupFile == nullptr || scene.groupFile->data == nullptr) return out;
  std::vector<BodyMaterialEntry> entries;
  if (!ReadBodyMaterials({scene.groupFile->data.get(), static_cast<size_t>(scene.groupFile->size)},
                         entries)
           .ok()) {
    return out;
  }
  for (BodyMaterialEntry& entry : entries) {
    if (entry.complete) out.push_back(std::move(entry.names));
  }
  return out;
}

void PutGroupBodyMaterialsFirst(const Scene& scene, const std::vector<BodyMaterial>& entries,
                                ExportOptions& options, std::vector<size_t>& pairOf,
                                std::vector<std::string>& warnings) {
  std::vector<std::pair<std::string, std::string>> first;
  for (const BodyMaterial& entry : entries) {
    const bool body = Holds(scene.objects, entry.body);
    if (body && Holds(scene.materials, entry.material)) {
      first.emplace_back(entry.body, entry.material);
      continue;
    }
    warnings.push_back(
        "group file entry body-material " + ShownBytes(entry.body) + " " +
        ShownBytes(entry.material) + " left out: the scene has no " +
        (body ? "material " + ShownBytes(entry.material) : "body " + ShownBytes(entry.body)));
  }
  options.bodyMaterials.insert(options.bodyMaterials.begin(), first.begin(), first.end());
  pairOf.insert(pairOf.begin(), first.size(), kFromGroupFile);
}

bool WrittenBodyMaterials(const Scene& scene, std::vector<BodyMaterial> entries,
                          const std::vector<std::pair<std::string, std::string>>& typed,
                          std::vector<BodyMaterial>& out, std::string& error) {
  for (const auto& [bodyName, materialName] : typed) {
    const std::string option = "--material " + bodyName + "=" + materialName;
    const auto material =
        std::find_if(scene.materials.begin(), scene.materials.end(),
                     [&](const Material& m) { return Shown(m.name) == materialName; });
    if (material == scene.materials.end()) {
      error = option + ": the scene has no material \"" + materialName + "\"";
      return false;
    }
    // Every body shown by that name: their tokens may differ ("cube" and cube).
    std::vector<std::string> bodies;
    for (const Body& body : scene.objects) {
      if (Shown(body.name) == bodyName &&
          std::find(bodies.begin(), bodies.end(), body.name) == bodies.end()) {
        bodies.push_back(body.name);
      }
    }
    if (bodies.empty()) {
      error = option + ": the scene has no body \"" + bodyName + "\"";
      return false;
    }
    for (const std::string& body : bodies) {
      std::erase_if(entries, [&](const BodyMaterial& entry) { return entry.body == body; });
      entries.push_back({body, material->name});
    }
  }
  out = std::move(entries);
  return true;
}

}  // namespace sceneio
