// Parses scene-inspect's arguments. The mode options sit in one table, so a new view of the
// scene is one row here and one runner in main.
#include "inspect_options.h"

#include <algorithm>
#include <string_view>

namespace sceneio {
namespace {

struct ModeOption {
  std::string_view flag;
  InspectMode mode;
  std::string_view help;
};

constexpr ModeOption kModeOptions[] = {
    {"--json", InspectMode::kJson, "the whole loaded scene as one JSON document"},
    {"--check", InspectMode::kCheck,
     "PATH:LINE:COLUMN: findings: what the load passes over, fails at, never reads"},
};

const ModeOption* FindModeOption(std::string_view flag) {
  for (const ModeOption& option : kModeOptions) {
    if (option.flag == flag) return &option;
  }
  return nullptr;
}

ParsedCommandLine UsageError(std::string message) {
  ParsedCommandLine parsed;
  parsed.action = CommandLine::kUsageError;
  parsed.error = std::move(message);
  return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  std::string_view modeFlag;  // the mode option given so far, if any
  bool haveGroup = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // A lone "-" is a file name like any other.
    const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
    if (isOption && arg == "--") {
      optionsEnded = true;
    } else if (isOption && (arg == "--help" || arg == "-h")) {
      parsed.action = CommandLine::kHelp;
      return parsed;
    } else if (isOption) {
      const ModeOption* option = FindModeOption(arg);
      if (option == nullptr) return UsageError("unknown option " + std::string(arg));
      if (!modeFlag.empty() && modeFlag != option->flag) {
        return UsageError(std::string(modeFlag) + " and " + std::string(arg) +
                          " cannot be combined");
      }
      modeFlag = option->flag;
      parsed.options.mode = option->mode;
    } else {
      if (haveGroup) return UsageError("more than one group file given");
      if (arg.empty()) return UsageError("the group file path is empty");
      haveGroup = true;
      parsed.options.groupPath.assign(arg);
      std::replace(parsed.options.groupPath.begin(), parsed.options.groupPath.end(), '/', '\\');
    }
  }
  return parsed;
}

std::string InspectUsage() {
  std::string modes;
  for (const ModeOption& option : kModeOptions) {
    if (option.mode == InspectMode::kCheck) continue;  // a usage line of its own
    modes.append(modes.empty() ? "[" : " | ").append(option.flag);
  }
  if (!modes.empty()) modes.append("] ");

  std::string text = "usage: scene-inspect " + modes + "[GROUP]\n";
  text += "       scene-inspect --check [GROUP]\n\n";
  text +=
      "Loads the scene whose group file is GROUP exactly as scene-load does, and prints it.\n"
      "GROUP defaults to dork\\dork.grp under the working directory; / and \\ both separate\n"
      "directories.\n\n";
  constexpr size_t kFlagColumn = 13;
  const auto row = [&](std::string_view flag, std::string_view help) {
    text.append("  ").append(flag);
    text.append(flag.size() < kFlagColumn ? kFlagColumn - flag.size() : 1, ' ');
    text.append(help).push_back('\n');
  };
  row("(none)", "a summary: the load result, the five files, the records of each collection");
  for (const ModeOption& option : kModeOptions) row(option.flag, option.help);
  row("--help", "this text");
  text +=
      "\nExit status: 0 when the load succeeded, 1 when it failed (what was loaded is still\n"
      "printed), 2 for a usage error. With --check: 0 when there are no findings, 1 when there\n"
      "are, 2 for a usage error.\n";
  return text;
}

}  // namespace sceneio
