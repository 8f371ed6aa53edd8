// scene-inspect: loads a scene as scene-load does and prints what the load left in memory.
#include <cstdio>
#include <string>
#include <vector>

#include "inspect_options.h"
#include "sceneio/diagnostics.h"
#include "sceneio/dump.h"
#include "sceneio/scene.h"

namespace {

using sceneio::InspectMode;
using sceneio::InspectOptions;
using sceneio::Scene;

// Exit status for a load result; the view is printed either way.
int StatusOf(int32_t result) {
  return result == 0 ? 0 : 1;
}

bool WriteAll(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

// The load with the threads asked for; its result as Load gives it.
int32_t LoadWithThreads(Scene& scene, const InspectOptions& options) {
  sceneio::LoadOptions load;
  load.threads = options.threads;  // 0: one per core
  return sceneio::LoadScene(scene, options.groupPath.c_str(), load).ok() ? 0 : -1;
}

int RunSummary(const InspectOptions& options) {
  Scene scene;
  const int32_t result = LoadWithThreads(scene, options);
  if (!sceneio::WriteSceneSummary(scene, result, stdout).ok()) return 1;
  return StatusOf(result);
}

int RunJson(const InspectOptions& options) {
  Scene scene;
  const int32_t result = LoadWithThreads(scene, options);
  if (!sceneio::WriteSceneJson(scene, result, stdout).ok()) return 1;
  return StatusOf(result);
}

// Findings decide the status: a scene may load and still hold what the load passed over.
int RunCheck(const InspectOptions& options) {
  Scene scene;
  std::vector<sceneio::Finding> findings;
  // The load's own outcome is among the findings.
  (void)sceneio::CheckLoad(scene, options.groupPath.c_str(), findings);
  if (!WriteAll(sceneio::CheckReport(findings))) return 1;
  return findings.empty() ? 0 : 1;
}

struct Runner {
  InspectMode mode;
  int (*run)(const InspectOptions&);
};

constexpr Runner kRunners[] = {
    {InspectMode::kSummary, RunSummary},
    {InspectMode::kJson, RunJson},
    {InspectMode::kCheck, RunCheck},
};

}  // namespace

int main(int argc, char** argv) {
  const sceneio::ParsedCommandLine parsed = sceneio::ParseCommandLine(argc, argv);
  switch (parsed.action) {
    case sceneio::CommandLine::kHelp:
      return WriteAll(sceneio::InspectUsage()) ? 0 : 1;
    case sceneio::CommandLine::kVersion:
      return WriteAll(sceneio::InspectVersion()) ? 0 : 1;
    case sceneio::CommandLine::kUsageError:
      std::fprintf(stderr, "scene-inspect: %s\n%s", parsed.error.c_str(),
                   sceneio::InspectUsage().c_str());
      return 2;
    case sceneio::CommandLine::kRun:
      break;
  }
  for (const Runner& runner : kRunners) {
    if (runner.mode == parsed.options.mode) return runner.run(parsed.options);
  }
  return 2;
}
