// scene-convert: loads a scene as scene-load does, or imports a glTF or OBJ model, and writes
// it as glTF 2.0, as a picture or as its five files.
#include <cstdio>
#include <string>

#include "convert_options.h"
#include "sceneio/convert.h"

namespace {

using sceneio::ConvertCommandLine;

bool WriteAll(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

void Say(const char* kind, const std::string& line) {
  std::fprintf(stderr, "scene-convert: %s%s\n", kind, line.c_str());
}

int UsageError(const std::string& message) {
  Say("", message);
  std::fputs("Run scene-convert --help for the options.\n", stderr);
  return 2;
}

int Run(const ConvertCommandLine& command) {
  sceneio::ConvertSource source;
  const sceneio::Status read =
      sceneio::ReadConvertSource(command.groupPath, command.options.threads, source);
  for (const std::string& warning : read.warnings) Say("warning: ", warning);
  for (const std::string& note : read.notes) Say("note: ", note);
  if (!read.ok()) {
    Say("", read.message);
    return 1;
  }
  const sceneio::Status result = sceneio::Convert(source, command.outputPath, command.options);
  const auto inFlags = [&](const std::string& m) { return InFlags(m, command); };
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
