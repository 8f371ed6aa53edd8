// Counters the benchmarks of whole loads report beside their times.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace sceneio::bench {

// Triangles of one iteration, and per second of CPU time over all of them.
inline void CountTriangles(benchmark::State& state, int64_t triangles) {
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["triangles_per_second"] =
      benchmark::Counter(static_cast<double>(triangles) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

}  // namespace sceneio::bench
