// Counters the benchmarks of whole loads report beside their times, and the generated inputs
// they skip without.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench_support.h"

namespace sceneio::bench {

// The text mesh twin of scene `name` (make-scene --obj writes it beside the five files) and
// its size; empty, with the benchmark skipped, when it was not generated.
inline std::string TextMeshOf(benchmark::State& state, const char* name, int64_t& bytes) {
  const std::string path = SceneDir(name) + "/dork.obj";
  bytes = FileSize(path);
  if (bytes >= 0) return path;
  state.SkipWithError("text mesh not generated: build the bench-scenes target");
  return {};
}

// Triangles of one iteration, and per second of CPU time over all of them.
inline void CountTriangles(benchmark::State& state, int64_t triangles) {
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["triangles_per_second"] =
      benchmark::Counter(static_cast<double>(triangles) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

}  // namespace sceneio::bench
