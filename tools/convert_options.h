// scene-convert's command line: the group file, the output and how faces are read and dressed.
#pragma once

#include <string>

#include "sceneio/convert.h"

namespace sceneio {

enum class ConvertAction { kRun, kHelp, kVersion, kUsageError };

struct ConvertCommandLine {
  ConvertAction action = ConvertAction::kRun;
  std::string groupPath;   // as Load takes it: backslashes separate directories
  std::string outputPath;  // as given
  // --material BODY=MATERIAL as typed (as scene-inspect shows the names), --size, --threads.
  ConvertOptions options;
  std::string error;  // for kUsageError: what was wrong, one line without a line feed
};

// Reads argv[1..argc-1]: [OPTIONS] GROUP OUTPUT. A forward slash in GROUP becomes a
// backslash, so dork/dork.grp and dork\dork.grp name the same scene.
ConvertCommandLine ParseConvertCommandLine(int argc, const char* const* argv);

// A library message in the command line's words: option fields become their flags.
std::string InFlags(const std::string& message, const ConvertCommandLine& command);

// The --help text, ending in a line feed.
std::string ConvertUsage();

// The --version text: the program's name and version, ending in a line feed.
std::string ConvertVersion();

}  // namespace sceneio
