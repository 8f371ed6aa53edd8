// What a load left in memory, shown: the dump (one JSON document of fixed shape) and the
// summary for people.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// Appends a byte string as a JSON string in which each byte is the code point of its value:
// 0x20..0x7E as themselves (" and \ escaped), every other byte as \u00xx.
void AppendJsonString(std::string& out, std::string_view bytes);

// Appends the shortest decimal that reads back as the same float; -0 keeps its sign, and the
// values JSON has no number for become the strings "inf", "-inf" and "nan".
void AppendJsonFloat(std::string& out, float value);

// The whole document for `scene` after a `Load` that returned `result`, ending in a line feed.
std::string SceneJson(const Scene& scene, int32_t result);

// The same document written to `out` in large chunks, so memory stays bounded however large
// the scene is. kWriteFailed when a write failed.
Status WriteSceneJson(const Scene& scene, int32_t result, std::FILE* out);

// The summary for people after a `Load` that returned `result`: what was read, what stopped the
// load, what each collection holds, as plain text in aligned columns. Its wording is free to
// change: nothing parses it.
std::string SceneSummary(const Scene& scene, int32_t result);

// The same text written to `out`. kWriteFailed when the write failed.
Status WriteSceneSummary(const Scene& scene, int32_t result, std::FILE* out);

}  // namespace sceneio
