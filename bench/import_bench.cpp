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

// Imports through `import` once per iteration, counting the triangles that came in.
template <typename Import>
void MeasureImport(benchmark::State& state, int64_t bytes, Import import) {
  int64_t triangles = 0;
  for (auto _ : state) {
    ImportedScene imported;
    if (!import(imported).ok()) {
      state.SkipWithError("import failed");
      return;
    }
    triangles = Triangles(imported.scene);
    benchmark::DoNotOptimize(imported.scene.objects.items.get());
  }
  CountTriangles(state, triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_ImportObj(benchmark::State& state, const char* name) {
  int64_t bytes = 0;
  const std::string path = TextMeshOf(state, name, bytes);
  if (path.empty()) return;
  MeasureImport(state, bytes, [&](ImportedScene& out) { return ImportObj(path, out); });
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
  MeasureImport(state, FileSize(glb), [&](ImportedScene& out) { return ImportGltf(glb, out); });
}

BENCHMARK_CAPTURE(BM_ImportObj, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportObj, 256MB, "s256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportGltf, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportGltf, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
