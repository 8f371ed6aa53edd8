// scene-inspect's command line: modes, the group path and what counts as a usage error.
#include "inspect_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sceneio {
namespace {

const struct {
  const char* name;
  std::vector<const char*> args;  // after the program name
  CommandLine action;
  InspectMode mode;
  const char* groupPath;
  const char* errorPart;  // for usage errors: a piece of the message
} kCases[] = {
    {"no arguments: summary of the fixed scene",
     {},
     CommandLine::kRun,
     InspectMode::kSummary,
     "dork\\dork.grp",
     ""},
    {"json of the fixed scene",
     {"--json"},
     CommandLine::kRun,
     InspectMode::kJson,
     "dork\\dork.grp",
     ""},
    {"slashes become backslashes",
     {"a/b/c.grp"},
     CommandLine::kRun,
     InspectMode::kSummary,
     "a\\b\\c.grp",
     ""},
    {"backslashes stay",
     {"--json", "a\\c.grp"},
     CommandLine::kRun,
     InspectMode::kJson,
     "a\\c.grp",
     ""},
    {"option after the group",
     {"x.grp", "--json"},
     CommandLine::kRun,
     InspectMode::kJson,
     "x.grp",
     ""},
    {"repeated mode option is harmless",
     {"--json", "--json"},
     CommandLine::kRun,
     InspectMode::kJson,
     "dork\\dork.grp",
     ""},
    {"double dash lets a group start with -",
     {"--", "-odd.grp"},
     CommandLine::kRun,
     InspectMode::kSummary,
     "-odd.grp",
     ""},
    {"lone dash is a file name", {"-"}, CommandLine::kRun, InspectMode::kSummary, "-", ""},
    {"help wins over what follows",
     {"--help", "--bogus"},
     CommandLine::kHelp,
     InspectMode::kSummary,
     "dork\\dork.grp",
     ""},
    {"version", {"--version"}, CommandLine::kVersion, InspectMode::kSummary, "dork\\dork.grp", ""},
    {"version after a mode",
     {"--json", "--version"},
     CommandLine::kVersion,
     InspectMode::kSummary,
     "dork\\dork.grp",
     ""},
    {"version after the options end is a group",
     {"--", "--version"},
     CommandLine::kRun,
     InspectMode::kSummary,
     "--version",
     ""},
    {"unknown option before version",
     {"-x", "--version"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "-x"},
    {"short help", {"-h"}, CommandLine::kHelp, InspectMode::kSummary, "dork\\dork.grp", ""},
    {"unknown option", {"--jsn"}, CommandLine::kUsageError, InspectMode::kSummary, "", "--jsn"},
    {"single-dash unknown option",
     {"-j"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "-j"},
    {"two group files",
     {"a.grp", "b.grp"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "more than one"},
    {"empty group path", {""}, CommandLine::kUsageError, InspectMode::kSummary, "", "empty"},
    {"check of a group after the options end",
     {"--check", "--", "--json"},
     CommandLine::kRun,
     InspectMode::kCheck,
     "--json",
     ""},
    {"help after the options end is a group",
     {"--", "-h"},
     CommandLine::kRun,
     InspectMode::kSummary,
     "-h",
     ""},
    {"leading slash is a directory, not an option",
     {"/json"},
     CommandLine::kRun,
     InspectMode::kSummary,
     "\\json",
     ""},
    // The first fault on the line decides: help that comes after one does not hide it.
    {"unknown option before help",
     {"--bogus", "--help"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "--bogus"},
    {"two modes before help",
     {"--json", "--check", "-h"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "cannot be combined"},
    {"two groups before help",
     {"a.grp", "b.grp", "--help"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "more than one"},
    {"empty group before help",
     {"", "--help"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "empty"},
    // Only the exact spellings are options: no values, no bundled or numeric short options.
    {"mode flag with a value",
     {"--json=true"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "--json=true"},
    {"help flag with a value",
     {"--help=1"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "--help=1"},
    {"bundled short help", {"-hx"}, CommandLine::kUsageError, InspectMode::kSummary, "", "-hx"},
    {"group that looks like a negative number",
     {"-5.grp"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "-5.grp"},
    {"option names are case-sensitive",
     {"--JSON"},
     CommandLine::kUsageError,
     InspectMode::kSummary,
     "",
     "--JSON"},
};

TEST(ParseCommandLine, MatchesTable) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<const char*> argv = {"scene-inspect"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ParsedCommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(parsed.action, c.action);
    if (c.action == CommandLine::kRun) {
      EXPECT_EQ(parsed.options.mode, c.mode);
      EXPECT_EQ(parsed.options.groupPath, c.groupPath);
    }
    if (c.action == CommandLine::kUsageError) {
      EXPECT_NE(parsed.error.find(c.errorPart), std::string::npos) << parsed.error;
    }
  }
}

// How many threads load the scene: one per core unless --threads gives a number from 1 on.
TEST(ParseCommandLine, ThreadsOption) {
  const struct {
    std::vector<const char*> args;
    CommandLine action;
    int32_t threads;
  } cases[] = {
      {{}, CommandLine::kRun, 0},
      {{"--threads", "2"}, CommandLine::kRun, 2},
      {{"--json", "--threads", "3", "g.grp"}, CommandLine::kRun, 3},
      {{"--threads", "0"}, CommandLine::kUsageError, 0},
      {{"--threads", "two"}, CommandLine::kUsageError, 0},
      {{"--threads"}, CommandLine::kUsageError, 0},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"scene-inspect"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(argv.size() > 2 ? argv[2] : "(none)");
    const ParsedCommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(parsed.action, c.action) << parsed.error;
    if (c.action == CommandLine::kRun) {
      EXPECT_EQ(parsed.options.threads, c.threads);
    }
  }
}

TEST(InspectUsage, NamesEveryOption) {
  const std::string usage = InspectUsage();
  EXPECT_EQ(usage.rfind("usage: scene-inspect [--json] [GROUP]\n", 0), 0u) << usage;
  EXPECT_NE(usage.find("--help"), std::string::npos);
  EXPECT_NE(usage.find("--threads"), std::string::npos);
}

}  // namespace
}  // namespace sceneio
