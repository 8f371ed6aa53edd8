// A familiar loader of the line-based text mesh, on the same triangles as the generated scenes,
// so a reader can set our triangles per second beside one they know.
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_counters.h"
#include "bench_support.h"

namespace sceneio::bench {
namespace {

// make-scene --obj writes the mesh beside the scene's five files, one `f` line per triangle.
void BM_TextMeshPeer(benchmark::State& state, const char* name) {
  int64_t bytes = 0;
  const std::string path = TextMeshOf(state, name, bytes);
  if (path.empty()) return;
  int64_t triangles = 0;
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn;
    std::string err;
    // Every face is already a triangle: nothing to split.
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr,
                          /*triangulate=*/false)) {
      state.SkipWithError("text mesh failed to load");
      return;
    }
    triangles = 0;
    for (const tinyobj::shape_t& shape : shapes) {
      triangles += static_cast<int64_t>(shape.mesh.num_face_vertices.size());
    }
    benchmark::DoNotOptimize(attrib.vertices.data());
  }
  CountTriangles(state, triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK_CAPTURE(BM_TextMeshPeer, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextMeshPeer, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
