// scene-inspect's command line: which view of the scene to print, and of which group file.
#pragma once

#include <cstdint>
#include <string>

namespace sceneio {

// One per way of showing a loaded scene; each has its own option and its own runner.
enum class InspectMode { kSummary, kJson, kCheck };

struct InspectOptions {
  InspectMode mode = InspectMode::kSummary;
  std::string groupPath = "dork\\dork.grp";  // as Load takes it: backslashes separate directories
  int32_t threads = 0;                       // from --threads; 0: one per core
};

enum class CommandLine { kRun, kHelp, kVersion, kUsageError };

struct ParsedCommandLine {
  CommandLine action = CommandLine::kRun;
  InspectOptions options;
  std::string error;  // for kUsageError: what was wrong, one line without a line feed
};

// Reads argv[1..argc-1]. A forward slash in GROUP becomes a backslash, so dork/dork.grp and
// dork\dork.grp name the same scene. "--" ends the options. The first fault on the line
// decides: "--bogus --help" is a usage error, "--help --bogus" asks for help.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// The --help text, ending in a line feed.
std::string InspectUsage();

// The --version text: the program's name and version, ending in a line feed.
std::string InspectVersion();

}  // namespace sceneio
