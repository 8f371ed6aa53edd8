// Bringing the generated scenes back in: the OBJ twin through ImportObj (beside tinyobjloader
// alone, BM_TextMeshPeer) and the scene's own .glb through ImportGltf (beside BM_Load).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_counters.h"
#include "bench_support.h"
#include "sceneio/gltf.h"
#include "sceneio/import.h"

namespace sceneio::bench {
namespace {

int64_t Triangles(const Scene& scene) {
  int64_t triangles = 0;
  for (const Body& body : scene.objects) triangles += body.faces.count;
  return triangles;
}

void BM_ImportObj(benchmark::State& state, const char* name) {
  const std::string path = SceneDir(name) + "/dork.obj";
  const int64_t bytes = FileSize(path);
  if (bytes < 0) {
    state.SkipWithError("text mesh not generated: build the bench-scenes target");
    return;
  }
  int64_t triangles = 0;
  for (auto _ : state) {
    ImportedScene imported;
    if (!ImportObj(path, imported).ok()) {
      state.SkipWithError("import failed");
      return;
    }
    triangles = Triangles(imported.scene);
    benchmark::DoNotOptimize(imported.scene.objects.items.get());
  }
  CountTriangles(state, triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
}

// The .glb is written once, from the scene's own load, beside the scene.
std::string GlbOf(const char* name) {
  const std::string scene = SceneDir(name);
  const std::string glb = scene + "/dork.glb";
  if (FileSize(glb) > 0) return glb;
  Scene loaded;
  if (loaded.Load(GroupPathOf(scene).c_str()) != 0) return {};
  return WriteGltf(loaded, ExportOptions{}, glb).ok() ? glb : std::string();
}

void BM_ImportGltf(benchmark::State& state, const char* name) {
  const std::string glb = GlbOf(name);
  if (glb.empty()) {
    state.SkipWithError("scene not generated or not convertible");
    return;
  }
  int64_t triangles = 0;
  for (auto _ : state) {
    ImportedScene imported;
    if (!ImportGltf(glb, imported).ok()) {
      state.SkipWithError("import failed");
      return;
    }
    triangles = Triangles(imported.scene);
    benchmark::DoNotOptimize(imported.scene.objects.items.get());
  }
  CountTriangles(state, triangles);
  state.SetBytesProcessed(state.iterations() * FileSize(glb));
}

BENCHMARK_CAPTURE(BM_ImportObj, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportObj, 256MB, "s256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportGltf, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportGltf, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
