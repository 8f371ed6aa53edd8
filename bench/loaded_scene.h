// The start of every benchmark that times what is done with a loaded scene: the generated scene
// found and loaded once, outside the timed loop.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench_support.h"
#include "sceneio/scene.h"

namespace sceneio::bench {

// The bytes of the scene in `dir`, loaded into `scene`; -1 when it is not generated or does not
// load, and then the benchmark is skipped with the reason.
inline int64_t LoadGenerated(benchmark::State& state, const std::string& dir, Scene& scene) {
  const int64_t bytes = SceneBytes(dir);
  if (bytes < 0) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return -1;
  }
  if (scene.Load(GroupPathOf(dir).c_str()) != 0) {
    state.SkipWithError("load failed");
    return -1;
  }
  return bytes;
}

}  // namespace sceneio::bench
