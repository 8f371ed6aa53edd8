// The picture of a generated scene at 800x600, from a model prepared once, beside its load.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "render/render.h"
#include "sceneio/export.h"
#include "sceneio/picture.h"
#include "sceneio/scene.h"

namespace sceneio::bench {
namespace {

// Loading and preparing are timed elsewhere (BM_Load); only drawing and encoding are timed here.
struct Prepared {
  Scene scene;
  ExportScene model;
  bool ok = false;
  int64_t triangles = 0;
};

const Prepared& PreparedScene(const char* name) {
  static std::unique_ptr<Prepared> cached;
  static std::string cachedName;
  if (cached && cachedName == name) return *cached;
  cached.reset();  // one big scene in memory at a time
  cached = std::make_unique<Prepared>();
  cachedName = name;
  const std::string group = GroupPathOf(SceneDir(name));
  cached->ok = cached->scene.Load(group.c_str()) == 0 &&
               PrepareExport(cached->scene, ExportOptions{}, cached->model).ok();
  for (const ExportMesh& mesh : cached->model.meshes) cached->triangles += mesh.indices.size() / 3;
  return *cached;
}

void BM_RenderPicture(benchmark::State& state, const char* name) {
  const std::string scene = SceneDir(name);
  const int64_t bytes = SceneBytes(scene);
  if (bytes < 0) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return;
  }
  const Prepared& prepared = PreparedScene(name);
  if (!prepared.ok) {
    state.SkipWithError("load or export preparation failed");
    return;
  }
  std::vector<uint8_t> png;
  for (auto _ : state) {
    Picture picture;
    Status status = RenderScene(prepared.model, 800, 600, picture);
    if (status.ok()) status = EncodePng(picture, png);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      return;
    }
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["triangles"] = static_cast<double>(prepared.triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK_CAPTURE(BM_RenderPicture, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderPicture, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
