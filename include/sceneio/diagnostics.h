// Diagnostics of a scene's files: what they hold that the loader passes over without a word,
// fails at, or never reads, each finding placed at a line and column of its file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

struct Finding {
  std::string path;    // as the file system sees it: '/' between directories
  int32_t line = 0;    // from 1; LF, CR LF and a lone CR each end a line
  int32_t column = 0;  // from 1, in bytes
  bool error = false;  // else a warning
  std::string message;
};

// Loads `groupPath` into `scene` exactly as Scene::Load does and puts in `findings` what its
// files hold: the group file's first, then the light, camera, material and object files' in
// that order, each file's by position. The status is the load's, as LoadScene gives it.
Status CheckLoad(Scene& scene, const char* groupPath, std::vector<Finding>& findings);

// The findings in the convention editors and CI annotate: one "PATH:LINE:COLUMN: error|warning:
// MESSAGE" line each, then "N errors, M warnings".
std::string CheckReport(const std::vector<Finding>& findings);

}  // namespace sceneio
