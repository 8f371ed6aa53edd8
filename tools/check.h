// scene-inspect --check's report: the findings in the compiler convention editors and CI read.
#pragma once

#include <string>
#include <vector>

#include "sceneio/diagnostics.h"

namespace sceneio {

// One "PATH:LINE:COLUMN: error|warning: MESSAGE" line per finding, then "N errors, M warnings".
std::string CheckReport(const std::vector<Finding>& findings);

}  // namespace sceneio
