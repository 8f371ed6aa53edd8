// scene-convert: loads a scene as scene-load does and writes it as glTF 2.0 or as a picture.
#include <cstdio>
#include <memory>
#include <string>

#include "convert_options.h"
#include "scene_summary.h"
#include "sceneio/gltf.h"
#include "sceneio/picture.h"
#include "sceneio/scene.h"

namespace {

using sceneio::ConvertCommandLine;
using sceneio::ExportResult;
using sceneio::ExportStatus;
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
  for (std::unique_ptr<sceneio::FileBuffer>* file :
       {&scene.groupFile, &scene.lightFile, &scene.cameraFile, &scene.materialFile,
        &scene.objectFile}) {
    if (*file) (*file)->data.reset();
  }
}

int UsageError(const std::string& message) {
  Say("", message);
  std::fputs("Run scene-convert --help for the options.\n", stderr);
  return 2;
}

int Run(const ConvertCommandLine& command) {
  Scene scene;
  if (scene.Load(command.groupPath.c_str()) != 0) {
    Say("", "the load failed: " + sceneio::LoadStopReason(scene));
    return 1;
  }
  ReleaseFileBytes(scene);
  const ExportResult result = command.output == sceneio::OutputKind::kPng
                                  ? sceneio::WritePicture(scene, command.options, command.width,
                                                          command.height, command.outputPath)
                                  : sceneio::WriteGltf(scene, command.options, command.outputPath);
  for (const std::string& warning : result.warnings) Say("warning: ", warning);
  for (const std::string& note : result.notes) Say("note: ", note);
  if (result.status == ExportStatus::kBadOptions) return UsageError(result.error);
  if (!result.ok()) {
    Say("", result.error);
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
