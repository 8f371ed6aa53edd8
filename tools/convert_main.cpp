// scene-convert: loads a scene as scene-load does and writes it as glTF 2.0 or as a picture.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "body_materials.h"
#include "convert_options.h"
#include "sceneio/file_kinds.h"
#include "sceneio/gltf.h"
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

int Run(const ConvertCommandLine& command) {
  Scene scene;
  const sceneio::Status loaded = sceneio::LoadScene(scene, command.groupPath.c_str());
  if (!loaded.ok()) {
    Say("", "the load failed: " + loaded.message);
    return 1;
  }
  const std::vector<sceneio::BodyMaterial> entries = sceneio::GroupBodyMaterials(scene);
  ReleaseFileBytes(scene);
  std::vector<size_t> pairOf;
  sceneio::Status result;
  if (command.output == sceneio::OutputKind::kScene) {
    sceneio::WriteOptions options;
    std::string error;
    if (!sceneio::WrittenBodyMaterials(scene, entries, command.materials, options.bodyMaterials,
                                       error)) {
      return UsageError(error);
    }
    result = sceneio::WriteScene(scene, command.outputPath, options);
  } else {
    // The group file's entries dress the bodies by default; --material comes later and wins.
    sceneio::ExportOptions options = sceneio::OptionsFor(command, scene, pairOf);
    std::vector<std::string> warnings;
    sceneio::PutGroupBodyMaterialsFirst(scene, entries, options, pairOf, warnings);
    for (const std::string& warning : warnings) Say("warning: ", warning);
    result = command.output == sceneio::OutputKind::kPng
                 ? sceneio::WritePicture(scene, options, command.width, command.height,
                                         command.outputPath)
                 : sceneio::WriteGltf(scene, options, command.outputPath);
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
