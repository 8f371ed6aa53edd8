// Parses scene-inspect's arguments with CLI11. The mode options sit in one table, so a new view
// of the scene is one row here and one runner in main.
#include "inspect_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string_view>
#include <vector>

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

constexpr std::string_view kVersion = SCENEIO_VERSION;

// Help and version are answers, not faults: they unwind the parse like CLI11's own.
struct HelpWanted {};
struct VersionWanted {};

// CLI11 prints a description before the usage line; this program's help starts with the usage,
// and shows the mode that has no option of its own.
class InspectFormatter : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App*, std::string) const override {
    std::string modes;
    for (const ModeOption& option : kModeOptions) {
      if (option.mode == InspectMode::kCheck) continue;  // a usage line of its own
      modes.append(modes.empty() ? "[" : " | ").append(option.flag);
    }
    if (!modes.empty()) modes.append("] ");
    return "usage: scene-inspect " + modes +
           "[GROUP]\n"
           "       scene-inspect --check [GROUP]\n\n"
           "Loads the scene whose group file is GROUP exactly as scene-load does, and prints it:\n"
           "without a mode option, a summary: the load result, the five files, the records of\n"
           "each collection.\n";
  }
};

// The command line as CLI11 sees it, and what the callbacks have met so far. CLI11 would check
// conflicts and extra words only after the whole line; the callbacks run as each option is
// read, so the first fault on the line wins over a later --help, as it always has.
class InspectApp {
 public:
  explicit InspectApp(ParsedCommandLine& parsed) : parsed_(parsed) {
    app_.formatter(std::make_shared<InspectFormatter>());
    app_.get_formatter()->column_width(16);
    app_.set_help_flag();  // replaced below by one that answers as soon as it is read
    app_.allow_extras();   // a second GROUP is reported by CheckGroupsSoFar, in order
    app_.footer(
        "GROUP defaults to dork\\dork.grp under the working directory; / and \\ both separate\n"
        "directories. -- ends the options.\n\n"
        "Exit status: 0 when the load succeeded, 1 when it failed (what was loaded is still\n"
        "printed), 2 for a usage error. With --check: 0 when there are no findings, 1 when there\n"
        "are, 2 for a usage error.");
    group_ = app_.add_option("GROUP", groupArg_, "the scene's group file (default dork\\dork.grp)")
                 ->type_name("");
    app_.add_option("--threads", parsed_.options.threads,
                    "how many threads load the scene (default: one per core); the load is the "
                    "same with any number")
        ->type_name("N")
        ->check(CLI::Range(1, 1024));
    for (const ModeOption& option : kModeOptions) {
      app_.add_flag_callback(
              std::string(option.flag), [this, &option] { SetMode(option); },
              std::string(option.help))
          ->trigger_on_parse();
    }
    app_.add_flag_callback(
            "-h,--help",
            [this] {
              CheckGroupsSoFar();
              throw HelpWanted{};
            },
            "this text")
        ->trigger_on_parse();
    app_.add_flag_callback(
            "--version",
            [this] {
              CheckGroupsSoFar();
              throw VersionWanted{};
            },
            "the program's version")
        ->trigger_on_parse();
  }

  std::string Help() const { return app_.help(); }

  // Parses argv[1..argc-1]; throws CLI::ParseError, HelpWanted or VersionWanted.
  void Parse(int argc, const char* const* argv) {
    // CLI11 also reads --flag=value, bundled short flags (-hx) and -5 as a word; this program
    // takes only the exact spellings. Parse what comes before the first other dash word, so a
    // fault or --help before it still comes first, then report it.
    const int known = FirstUnknownOption(argc, argv);
    app_.parse(known, argv);
    CheckGroupsSoFar();
    if (known < argc) Fault("unknown option " + std::string(argv[known]));
    if (group_->count() > 0) {
      parsed_.options.groupPath = group_->results().front();
      std::replace(parsed_.options.groupPath.begin(), parsed_.options.groupPath.end(), '/', '\\');
    }
  }

 private:
  [[noreturn]] static void Fault(const std::string& message) {
    throw CLI::ValidationError(message);
  }

  bool IsOptionName(std::string_view word) const {
    for (const CLI::Option* option : app_.get_options()) {
      if (option->check_name(std::string(word)) && !option->get_positional()) return true;
    }
    return false;
  }

  // The index of the first word before "--" that starts with a dash (a lone "-" is a file
  // name) and is not exactly an option's name; argc when there is none.
  int FirstUnknownOption(int argc, const char* const* argv) const {
    for (int i = 1; i < argc; ++i) {
      const std::string_view arg = argv[i];
      if (arg == "--") return argc;
      if (arg.size() > 1 && arg[0] == '-' && !IsOptionName(arg)) return i;
    }
    return argc;
  }

  void CheckGroupsSoFar() const {
    if (app_.remaining_size() > 0) Fault("more than one group file given");
    if (group_->count() > 0 && group_->results().front().empty()) {
      Fault("the group file path is empty");
    }
  }

  void SetMode(const ModeOption& option) {
    CheckGroupsSoFar();
    if (!modeFlag_.empty() && modeFlag_ != option.flag) {
      Fault(std::string(modeFlag_) + " and " + std::string(option.flag) + " cannot be combined");
    }
    modeFlag_ = option.flag;
    parsed_.options.mode = option.mode;
  }

  ParsedCommandLine& parsed_;
  CLI::App app_{"", "scene-inspect"};
  std::string groupArg_;  // CLI11 wants a target; the path is taken from the results, as read
  CLI::Option* group_ = nullptr;
  std::string_view modeFlag_;  // the mode option given so far, if any
};

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  InspectApp app(parsed);
  try {
    app.Parse(argc, argv);
  } catch (const HelpWanted&) {
    parsed.action = CommandLine::kHelp;
  } catch (const VersionWanted&) {
    parsed.action = CommandLine::kVersion;
  } catch (const CLI::ParseError& error) {
    parsed.action = CommandLine::kUsageError;
    parsed.error = error.what();
  }
  return parsed;
}

std::string InspectUsage() {
  ParsedCommandLine unused;
  return InspectApp(unused).Help();
}

std::string InspectVersion() {
  return "scene-inspect " + std::string(kVersion) + "\n";
}

}  // namespace sceneio
