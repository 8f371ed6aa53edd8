// A generated scene written as one .glb, from a scene loaded once, beside its load (BM_Load).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "bench_support.h"
#include "loaded_scene.h"
#include "sceneio/gltf.h"
#include "sceneio/scene.h"

namespace sceneio::bench {
namespace {

// Only the conversion is timed: welding, checks, the JSON and streaming the buffer into the
// file. The file goes to the build tree beside the scene and is removed afterwards.
void BM_ConvertGlb(benchmark::State& state, const char* name) {
  const std::string scene = SceneDir(name);
  Scene loaded;
  const int64_t bytes = LoadGenerated(state, scene, loaded);
  if (bytes < 0) return;
  const std::string output = scene + "/converted.glb";
  for (auto _ : state) {
    const Status result = WriteGltf(loaded, ExportOptions{}, output);
    if (!result.ok()) {
      state.SkipWithError(result.message.c_str());
      break;
    }
  }
  state.counters["output_bytes"] = static_cast<double>(FileSize(output));
  int64_t triangles = 0;
  for (const Body& body : loaded.objects) triangles += body.faces.count;
  state.counters["triangles"] = static_cast<double>(triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
  unlink(output.c_str());
}

BENCHMARK_CAPTURE(BM_ConvertGlb, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertGlb, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
