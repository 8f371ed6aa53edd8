// Which of a group file's body-material entries apply to the scene it loaded, and assignments
// put over them.
#include "sceneio/body_materials.h"

#include <algorithm>
#include <new>
#include <utility>

#include "io/names.h"

namespace sceneio {
namespace {

template <typename Record>
bool Holds(const CountedArray<Record>& records, std::string_view token) {
  return std::any_of(records.begin(), records.end(),
                     [&](const Record& record) { return record.name == token; });
}

template <typename Record>
std::vector<std::string> Tokens(const CountedArray<Record>& records, std::string_view typed,
                                TypedNames names) {
  const bool held = names == TypedNames::kHeldOrShown;
  std::vector<std::string> exact, loose;
  for (const Record& record : records) {
    std::vector<std::string>* into =
        held && record.name == typed ? &exact
        : ShownName(record.name) == typed || (held && WithoutQuotes(record.name) == typed)
            ? &loose
            : nullptr;
    if (into != nullptr && std::find(into->begin(), into->end(), record.name) == into->end()) {
      into->push_back(record.name);
    }
  }
  return exact.empty() ? loose : exact;
}

}  // namespace

std::vector<std::string> BodyTokens(const Scene& scene, std::string_view typed, TypedNames names) {
  return Tokens(scene.objects, typed, names);
}

std::vector<std::string> MaterialTokens(const Scene& scene, std::string_view typed,
                                        TypedNames names) {
  return Tokens(scene.materials, typed, names);
}

Status GroupBodyMaterials(const Scene& scene, std::vector<BodyMaterial>& entries) {
  if (scene.groupFile == nullptr || scene.groupFile->data == nullptr) return {};
  std::vector<BodyMaterialEntry> read;
  Status status = ReadBodyMaterials(
      {scene.groupFile->data.get(), static_cast<size_t>(scene.groupFile->size)}, read);
  if (!status.ok()) return status;
  try {
    for (BodyMaterialEntry& entry : read) {
      if (entry.complete) entries.push_back(std::move(entry.names));
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory reading the body-material entries");
  }
  return status;
}

Status KeepKnownBodyMaterials(const Scene& scene, std::vector<BodyMaterial>& entries) {
  Status status;
  try {
    std::erase_if(entries, [&](const BodyMaterial& entry) {
      const bool body = Holds(scene.objects, entry.body);
      if (body && Holds(scene.materials, entry.material)) return false;
      status.warnings.push_back(
          "group file entry body-material " + ShownBytes(entry.body) + " " +
          ShownBytes(entry.material) + " left out: the scene has no " +
          (body ? "material " + ShownBytes(entry.material) : "body " + ShownBytes(entry.body)));
      return true;
    });
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory checking the body-material entries");
  }
  return status;
}

Status CheckBodyMaterials(const Scene& scene, const std::vector<BodyMaterial>& entries) {
  Status status;
  try {
    for (size_t i = 0; i < entries.size(); ++i) {
      const BodyMaterial& entry = entries[i];
      const std::string lacks = "bodyMaterials[" + std::to_string(i) + "]: the scene has no ";
      if (!Holds(scene.materials, entry.material)) {
        status.Fail(StatusCode::kBadOptions, lacks + "material " + ShownBytes(entry.material));
        break;
      }
      if (!Holds(scene.objects, entry.body)) {
        status.Fail(StatusCode::kBadOptions, lacks + "body " + ShownBytes(entry.body));
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory checking the body-material entries");
  }
  return status;
}

Status PutBodyMaterialsOver(std::vector<BodyMaterial>& entries,
                            const std::vector<BodyMaterial>& over) {
  Status status;
  try {
    for (const BodyMaterial& assignment : over) {
      std::erase_if(entries,
                    [&](const BodyMaterial& entry) { return entry.body == assignment.body; });
      entries.push_back(assignment);
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory putting the body materials together");
  }
  return status;
}

}  // namespace sceneio
