// scene-convert's command line: the group file, the output and how faces are read and dressed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sceneio/export.h"

namespace sceneio {

// What OUTPUT's ending asks for. A new kind of output is one value here and one row in the
// table of endings in convert_options.cpp.
enum class OutputKind { kGltf, kGlb, kPng, kScene };

// The kind of output `path` names by its ending; false when no ending is known.
bool OutputKindOf(const std::string& path, OutputKind& kind);

enum class ConvertAction { kRun, kHelp, kVersion, kUsageError };

struct ConvertCommandLine {
  ConvertAction action = ConvertAction::kRun;
  std::string groupPath;   // as Load takes it: backslashes separate directories
  std::string outputPath;  // as given
  OutputKind output = OutputKind::kGlb;
  ExportOptions options;  // its bodyMaterials stay empty: see OptionsFor
  // --material BODY=MATERIAL, the names as typed (as scene-inspect shows them).
  std::vector<std::pair<std::string, std::string>> materials;
  int32_t width = 800;  // of a picture (kPng), from --size
  int32_t height = 600;
  int32_t threads = 0;  // from --threads; 0: one per core
  std::string error;    // for kUsageError: what was wrong, one line without a line feed
};

// Reads argv[1..argc-1]: [OPTIONS] GROUP OUTPUT. A forward slash in GROUP becomes a
// backslash, so dork/dork.grp and dork\dork.grp name the same scene.
ConvertCommandLine ParseConvertCommandLine(int argc, const char* const* argv);

// The options for the library: the typed names of `command.materials` become the name tokens
// of `scene` they show as. `pairOf` gets, for each bodyMaterials entry, its --material option.
ExportOptions OptionsFor(const ConvertCommandLine& command, const Scene& scene,
                         std::vector<size_t>& pairOf);

// The mark in `pairOf` of an entry that no --material stands for: one from the group file.
inline constexpr size_t kFromGroupFile = static_cast<size_t>(-1);

// A library message in the command line's words: option fields become their flags.
std::string InFlags(const std::string& message, const ConvertCommandLine& command,
                    const std::vector<size_t>& pairOf);

// The --help text, ending in a line feed.
std::string ConvertUsage();

// The --version text: the program's name and version, ending in a line feed.
std::string ConvertVersion();

}  // namespace sceneio
