// Why a load stopped, told by what it left in the scene.
#pragma once

#include <string>

#include "sceneio/scene.h"

namespace sceneio {

// For people: "dork\\s.cam could not be read", "the group file names no light file", or that
// the load failed after reading its files (memory ran out). LoadScene's message on failure.
std::string LoadStopReason(const Scene& scene);

}  // namespace sceneio
