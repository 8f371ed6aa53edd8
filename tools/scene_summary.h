// The inspector's summary for people: what was read, what stopped the load, what each collection
// holds.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/scene.h"

namespace sceneio {

// Plain text laid out in aligned columns. Its wording is free to change: nothing parses it.
std::string SceneSummary(const Scene& scene, int32_t result);

}  // namespace sceneio
