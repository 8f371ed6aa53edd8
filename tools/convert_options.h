// scene-convert's command line: the group file, the output and how faces are read and dressed.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/export.h"

namespace sceneio {

// What OUTPUT's ending asks for. A new kind of output is one value here and one row in the
// table of endings in convert_options.cpp.
enum class OutputKind { kGltf, kGlb, kPng };

// The kind of output `path` names by its ending; false when no ending is known.
bool OutputKindOf(const std::string& path, OutputKind& kind);

enum class ConvertAction { kRun, kHelp, kVersion, kUsageError };

struct ConvertCommandLine {
  ConvertAction action = ConvertAction::kRun;
  std::string groupPath;   // as Load takes it: backslashes separate directories
  std::string outputPath;  // as given
  OutputKind output = OutputKind::kGlb;
  ExportOptions options;
  int32_t width = 800;  // of a picture (kPng), from --size
  int32_t height = 600;
  std::string error;  // for kUsageError: what was wrong, one line without a line feed
};

// Reads argv[1..argc-1]: [OPTIONS] GROUP OUTPUT. A forward slash in GROUP becomes a
// backslash, so dork/dork.grp and dork\dork.grp name the same scene.
ConvertCommandLine ParseConvertCommandLine(int argc, const char* const* argv);

// The --help text, ending in a line feed.
std::string ConvertUsage();

// The --version text: the program's name and version, ending in a line feed.
std::string ConvertVersion();

}  // namespace sceneio
