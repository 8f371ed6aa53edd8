// scene-convert: loads a scene as scene-load does, or imports a glTF or OBJ model, and writes
// it as glTF 2.0 or as a picture.
#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "convert_options.h"
#include "sceneio/body_materials.h"
#include "sceneio/file_kinds.h"
#include "sceneio/gltf.h"
#include "sceneio/import.h"
#include "sceneio/picture.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"

namespace {

using sceneio::ConvertCommandLine;
using sceneio::Scene;

bool WriteAll(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

void Say(const char* kind, const std::string& line) {
  std::fprintf(stderr, "scene-convert: %s%s\n", kind, line.c_str());
}

// The records own copies of everything they hold: the files' bytes are no longer needed, and
// giving them back keeps the conversion's memory below the load's.
void ReleaseFileBytes(Scene& scene) {
  for (const sceneio::FileKind& kind : sceneio::kFileKinds) {
    if (scene.*kind.file) (scene.*kind.file)->data.reset();
  }
}

int UsageError(const std::string& message) {
  Say("", message);
  std::fputs("Run scene-convert --help for the options.\n", stderr);
  return 2;
}

enum class InputKind { kGroup, kGltf, kObj };

InputKind InputKindOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  std::string ending = dot == std::string::npos ? "" : path.substr(dot);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ending == ".gltf" || ending == ".glb") return InputKind::kGltf;
  if (ending == ".obj") return InputKind::kObj;
  return InputKind::kGroup;
}

// An imported scene's images live in memory; the export takes textures from the material
// file's folder. They are put in a folder of their own for the length of the conversion.
class StagedImages {
 public:
  bool Stage(sceneio::ImportedScene& imported, const std::string& inputPath) {
    imported.scene.objectFile = std::make_unique<sceneio::FileBuffer>();
    imported.scene.objectFile->path = inputPath;
    if (imported.images.empty()) return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/scene-convert-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return false;
    folder_ = pattern;
    for (const sceneio::ImportedImage& image : imported.images) {
      std::ofstream file(folder_ + "/" + image.fileName, std::ios::binary);
      file.write(reinterpret_cast<const char*>(image.bytes.data()),
                 static_cast<std::streamsize>(image.bytes.size()));
      if (!file) return false;
    }
    imported.scene.materialFile = std::make_unique<sceneio::FileBuffer>();
    imported.scene.materialFile->directory = folder_ + "/";
    return true;
  }
  ~StagedImages() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::string folder_;
};

// The entries are carried as they are; each --material goes over them.
sceneio::Status WriteFiveFiles(const ConvertCommandLine& command, const Scene& scene,
                               const sceneio::ExportOptions& typed,
                               std::vector<sceneio::BodyMaterial> entries) {
  std::vector<sceneio::BodyMaterial> over;
  for (const auto& [body, material] : typed.bodyMaterials) over.push_back({body, material});
  sceneio::Status status = sceneio::CheckBodyMaterials(scene, over);
  if (status.ok()) status = sceneio::PutBodyMaterialsOver(entries, over);
  if (!status.ok()) return status;
  // A scene is often written to a folder of its own: out/dork/dork.grp makes out/dork.
  return sceneio::WriteScene(scene, command.outputPath,
                             {.bodyMaterials = std::move(entries), .createFolders = true});
}

// The group file's (or the model's) entries dress the bodies by default; --material comes later
// and wins.
sceneio::Status Export(const ConvertCommandLine& command, const Scene& scene,
                       sceneio::ExportOptions options, std::vector<sceneio::BodyMaterial> entries,
                       std::vector<size_t>& pairOf) {
  const sceneio::Status kept = sceneio::KeepKnownBodyMaterials(scene, entries);
  for (const std::string& warning : kept.warnings) Say("warning: ", warning);
  if (!kept.ok()) return kept;
  std::vector<std::pair<std::string, std::string>> first;
  for (sceneio::BodyMaterial& entry : entries) {
    first.emplace_back(std::move(entry.body), std::move(entry.material));
  }
  options.bodyMaterials.insert(options.bodyMaterials.begin(), first.begin(), first.end());
  pairOf.insert(pairOf.begin(), first.size(), sceneio::kFromGroupFile);
  return command.output == sceneio::OutputKind::kPng
             ? sceneio::WritePicture(scene, options, command.width, command.height,
                                     command.outputPath)
             : sceneio::WriteGltf(scene, options, command.outputPath);
}

int Run(const ConvertCommandLine& command) {
  sceneio::ImportedScene imported;
  Scene& scene = imported.scene;
  StagedImages staged;
  const std::string inputPath = sceneio::NativePath(command.groupPath);
  const InputKind input = InputKindOf(inputPath);
  std::vector<sceneio::BodyMaterial> entries;
  sceneio::Status result;
  if (input == InputKind::kGroup) {
    sceneio::LoadOptions load;
    load.threads = command.threads;  // 0: one per core
    result = sceneio::LoadScene(scene, command.groupPath.c_str(), load);
    if (!result.ok()) {
      Say("", "the load failed: " + result.message);
      return 1;
    }
    result = sceneio::GroupBodyMaterials(scene, entries);
    ReleaseFileBytes(scene);
  } else {
    const sceneio::Status status = input == InputKind::kGltf
                                       ? sceneio::ImportGltf(inputPath, imported)
                                       : sceneio::ImportObj(inputPath, imported);
    for (const std::string& warning : status.warnings) Say("warning: ", warning);
    for (const std::string& note : status.notes) Say("note: ", note);
    if (!status.ok()) {
      Say("", inputPath + ": " + status.message);
      return 1;
    }
    if (!staged.Stage(imported, inputPath)) {
      Say("", "the imported images could not be staged for the export");
      return 1;
    }
    // The model's own assignments take the place of a group file's entries.
    for (const auto& [body, material] : imported.bodyMaterials) entries.push_back({body, material});
  }
  std::vector<size_t> pairOf;
  const sceneio::ExportOptions options = sceneio::OptionsFor(command, scene, pairOf);
  if (result.ok()) {
    result = command.output == sceneio::OutputKind::kScene
                 ? WriteFiveFiles(command, scene, options, std::move(entries))
                 : Export(command, scene, options, std::move(entries), pairOf);
  }
  const auto inFlags = [&](const std::string& m) { return InFlags(m, command, pairOf); };
  for (const std::string& warning : result.warnings) Say("warning: ", inFlags(warning));
  for (const std::string& note : result.notes) Say("note: ", inFlags(note));
  if (result.code == sceneio::StatusCode::kBadOptions) return UsageError(inFlags(result.message));
  if (!result.ok()) {
    Say("", inFlags(result.message));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const ConvertCommandLine command = sceneio::ParseConvertCommandLine(argc, argv);
  switch (command.action) {
    case sceneio::ConvertAction::kHelp:
      return WriteAll(sceneio::ConvertUsage()) ? 0 : 1;
    case sceneio::ConvertAction::kVersion:
      return WriteAll(sceneio::ConvertVersion()) ? 0 : 1;
    case sceneio::ConvertAction::kUsageError:
      return UsageError(command.error);
    case sceneio::ConvertAction::kRun:
      break;
  }
  return Run(command);
}
