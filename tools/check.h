// scene-inspect --check: what a scene's files hold that the loader passes over without a word,
// fails at, or never reads, as findings in the compiler convention.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sceneio/scene.h"

namespace sceneio {

struct Finding {
  std::string path;    // as the file system sees it: '/' between directories
  int32_t line = 0;    // from 1; LF, CR LF and a lone CR each end a line
  int32_t column = 0;  // from 1, in bytes
  bool error = false;  // else a warning
  std::string message;
};

// Loads `groupPath` into `scene` exactly as Scene::Load does (its result goes to `result`) and
// returns the findings: the group file's first, then the light, camera, material and object
// files' in that order, each file's by position.
std::vector<Finding> CheckLoad(Scene& scene, const char* groupPath, int32_t& result);

// One "PATH:LINE:COLUMN: error|warning: MESSAGE" line per finding, then "N errors, M warnings".
std::string CheckReport(const std::vector<Finding>& findings);

}  // namespace sceneio
