// Prints the findings of a checked load.
#include "check.h"

namespace sceneio {

std::string CheckReport(const std::vector<Finding>& findings) {
  std::string out;
  size_t errors = 0;
  for (const Finding& f : findings) {
    if (f.error) ++errors;
    out += f.path + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) +
           (f.error ? ": error: " : ": warning: ") + f.message + "\n";
  }
  const size_t warnings = findings.size() - errors;
  // Always "N errors, M warnings", even for 1: scripts match the closing line by its words.
  out += std::to_string(errors) + " errors, " + std::to_string(warnings) + " warnings\n";
  return out;
}

}  // namespace sceneio
