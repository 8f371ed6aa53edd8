// The whole scene as five files: every kind checked first, so that a refusal writes nothing,
// then each file's text made and handed on in chunks.
#include <sys/stat.h>

#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "io/names.h"
#include "io/output_files.h"
#include "io/texture_file.h"
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

namespace fs = std::filesystem;

constexpr std::string_view kGroupExtension = ".grp";

// The data files in load order, each with what writes it.
struct DataFile {
  std::string_view extension;
  void (*write)(const Scene& scene, TextOut& out);
};

constexpr DataFile kDataFiles[] = {
    {".lgt", [](const Scene& scene, TextOut& out) { WriteLights(scene.lights, out); }},
    {".cam", [](const Scene& scene, TextOut& out) { WriteCamera(scene.camera, out); }},
    {".gmf", [](const Scene& scene, TextOut& out) { WriteMaterials(scene.materials, out); }},
    {".gof", [](const Scene& scene, TextOut& out) { WriteObjects(scene.objects, out); }},
};

struct TextureCopy {
  std::string source;  // resolved
  uint64_t size = 0;
  fs::path target;
};

std::string RealFolder(const fs::path& folder) {
  std::error_code error;
  const fs::path real = fs::canonical(folder.empty() ? fs::path(".") : folder, error);
  return error ? std::string() : real.string();
}

// The texture files the materials name, copied beside the output under the names the material
// file holds, when the output goes to another folder than the material file's. Only what the
// export would take is copied; the rest is told in a warning, and the scene is written anyway.
std::vector<TextureCopy> PlanTextureCopies(const Scene& scene, const fs::path& outputFolder,
                                           const std::set<fs::path>& outputs, Status& status) {
  std::vector<TextureCopy> copies;
  if (scene.materialFile == nullptr) return copies;
  const std::string& materialDirectory = scene.materialFile->directory;
  const std::string from = RealFolder(NativePath(materialDirectory));
  const std::string to = RealFolder(outputFolder);
  if (from.empty() || to.empty() || from == to) return copies;
  std::set<std::string> planned;
  for (const Material& material : scene.materials) {
    const std::string_view name = WithoutQuotes(material.textureName);
    if (name.empty() || !planned.insert(std::string(name)).second) continue;
    const std::string told = "material " + ShownBytes(material.name) + ": texture " +
                             ShownBytes(material.textureName) + " not copied: ";
    const TextureCheck check = CheckTexture(materialDirectory, name);
    if (check.path.empty()) {
      status.warnings.push_back(told + check.why);
      continue;
    }
    TextureCopy copy;
    copy.source = check.path;
    copy.target = outputFolder / NativePath(std::string(name));
    struct stat info {};
    if (stat(copy.source.c_str(), &info) != 0) {
      status.warnings.push_back(told + "it vanished");
      continue;
    }
    copy.size = static_cast<uint64_t>(info.st_size);
    if (outputs.count(copy.target) != 0) {
      status.warnings.push_back(told + "it would take the place of a scene file");
      continue;
    }
    if (RealFolder(copy.target.parent_path()).empty()) {
      status.warnings.push_back(told + "its folder does not exist beside the output");
      continue;
    }
    copies.push_back(std::move(copy));
  }
  return copies;
}

std::string FailureText(const OutputFailure& failure) {
  switch (failure.step) {
    case OutputFailure::Step::kSourceChanged:
      return "texture " + failure.source + " changed or vanished while the scene was written";
    case OutputFailure::Step::kSourceShort:
      return "texture " + failure.source + " could not be read whole";
    default:
      return failure.Message();
  }
}

bool WriteToFiles(void* files, const char* data, size_t size) {
  return static_cast<OutputFiles*>(files)->Write(data, size);
}

// Streams each file's text through the output files; the group file goes last, so it is put in
// place after the files it names.
bool WriteFiles(const Scene& scene, const fs::path& folder, const std::string& baseName,
                const WriteOptions& options, const std::vector<TextureCopy>& copies,
                OutputFiles& files) {
  for (const DataFile& kind : kDataFiles) {
    if (!files.Begin(folder / (baseName + std::string(kind.extension)))) return false;
    TextOut out(WriteToFiles, &files);
    kind.write(scene, out);
    if (!out.Finish() || !files.End()) return false;
  }
  for (const TextureCopy& copy : copies) {
    if (!files.Begin(copy.target) || !files.Copy(copy.source, copy.size) || !files.End()) {
      return false;
    }
  }
  if (!files.Begin(folder / (baseName + std::string(kGroupExtension)))) return false;
  TextOut out(WriteToFiles, &files);
  WriteGroup(baseName, options, out);
  return out.Finish() && files.End() && files.Commit();
}

}  // namespace

Status WriteScene(const Scene& scene, const std::string& groupPath, const WriteOptions& options) {
  Status status;
  try {
    const fs::path group(groupPath);
    const std::string file = group.filename().string();
    if (file.size() <= kGroupExtension.size() ||
        file.compare(file.size() - kGroupExtension.size(), kGroupExtension.size(),
                     kGroupExtension) != 0) {
      return status.Fail(StatusCode::kBadOptions, "the group file " + groupPath + " must end in " +
                                                      std::string(kGroupExtension));
    }
    const std::string baseName = file.substr(0, file.size() - kGroupExtension.size());
    status = CheckScene(scene, baseName, options);
    if (!status.ok()) return status;
    const fs::path folder = group.parent_path();
    // Made before the texture copies are planned: they go to the folder as it will be.
    OutputFiles files;
    if (options.createFolders && !files.MakeFolders(folder)) {
      return status.Fail(StatusCode::kWriteFailed, FailureText(files.failure()));
    }
    std::set<fs::path> outputs = {group};
    for (const DataFile& kind : kDataFiles) {
      outputs.insert(folder / (baseName + std::string(kind.extension)));
    }
    const std::vector<TextureCopy> copies =
        PlanTextureCopies(scene, folder.empty() ? fs::path(".") : folder, outputs, status);
    if (!WriteFiles(scene, folder, baseName, options, copies, files)) {
      return status.Fail(StatusCode::kWriteFailed, FailureText(files.failure()));
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while writing " + groupPath);
  } catch (const std::exception& e) {
    status.Fail(StatusCode::kWriteFailed, "cannot write " + groupPath + ": " + e.what());
  }
  return status;
}

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
