// Each parser on its own kind of file, and whole loads beside the bare read of the same files.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <string>

#include "bench_counters.h"
#include "bench_support.h"
#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/file_buffer.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/scene.h"

namespace sceneio::bench {
namespace {

// Every iteration should pay what a one-shot load pays: big blocks fresh from the kernel, their
// pages faulted in on first touch. Left alone, the allocator raises its threshold after the
// first free and recycles blocks up to 32 MiB, so a 16 MB scene would skip the faults a 256 MB
// one pays, and the two would not compare.
[[maybe_unused]] const bool kFreshBigBlocks = mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1;

// The parser is timed on bytes already in memory; its collection is made and released inside
// the loop, as a load would.
template <typename Record>
void ParseFile(benchmark::State& state, const std::string& scene, const char* extension,
               int32_t (*parse)(const FileBuffer&, CountedArray<Record>&)) {
  const FileBuffer& file = CachedFile(ScenePath(SceneDir(scene), extension));
  if (!file.data) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return;
  }
  int64_t records = 0;
  for (auto _ : state) {
    CountedArray<Record> collection;
    parse(file, collection);
    records = collection.count;
    benchmark::DoNotOptimize(collection.items.get());
  }
  state.counters["records"] = static_cast<double>(records);
  state.SetBytesProcessed(state.iterations() * file.size);
}

void BM_ParseLights(benchmark::State& state) {
  ParseFile<Light>(state, "many", ".lgt", ParseLights);
}
void BM_ParseCamera(benchmark::State& state) {
  ParseFile<Camera>(state, "many", ".cam", ParseCamera);
}
void BM_ParseMaterials(benchmark::State& state) {
  ParseFile<Material>(state, "many", ".gmf", ParseMaterials);
}
void BM_ParseObjects(benchmark::State& state) {
  ParseFile<Body>(state, "s16", ".gof", ParseObjects);
}

// The whole load: five files read, four parsed, everything released at the end of the scope.
void BM_Load(benchmark::State& state, const char* name) {
  const std::string scene = SceneDir(name);
  const int64_t bytes = SceneBytes(scene);
  if (bytes < 0) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return;
  }
  const std::string group = GroupPathOf(scene);
  int64_t triangles = 0;
  for (auto _ : state) {
    Scene loaded;
    if (loaded.Load(group.c_str()) != 0) {
      state.SkipWithError("load failed");
      return;
    }
    benchmark::DoNotOptimize(loaded.objects.items.get());
    triangles = 0;
    for (const Body& body : loaded.objects) triangles += body.faces.count;
  }
  CountTriangles(state, triangles);
  state.SetBytesProcessed(state.iterations() * bytes);
}

// The same load with two threads. Their CPU time is the sum of both threads', so these are timed
// by the wall clock (UseRealTime), and the rate is bytes per second of wall time.
void BM_LoadThreads(benchmark::State& state, const char* name) {
  const std::string scene = SceneDir(name);
  const int64_t bytes = SceneBytes(scene);
  if (bytes < 0) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return;
  }
  const std::string group = GroupPathOf(scene);
  LoadOptions options;
  options.threads = 2;
  for (auto _ : state) {
    Scene loaded;
    if (!LoadScene(loaded, group.c_str(), options).ok()) {
      state.SkipWithError("load failed");
      return;
    }
    benchmark::DoNotOptimize(loaded.objects.items.get());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

// The floor under any load of the same files: each read whole into a fresh block, then freed;
// the plain read takes its block from new[], the advised one as the loader now does.
void ReadFloor(benchmark::State& state, const char* name, Block how) {
  const std::string scene = SceneDir(name);
  const int64_t bytes = SceneBytes(scene);
  if (bytes < 0) {
    state.SkipWithError("scene not generated: build the bench-scenes target");
    return;
  }
  const auto files = SceneFiles(scene);
  for (auto _ : state) {
    int64_t read = 0;
    for (const std::string& path : files) read += ReadWhole(path, how);
    if (read != bytes) {
      state.SkipWithError("short read");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_ReadFloor(benchmark::State& state, const char* name) {
  ReadFloor(state, name, Block::kPlain);
}
void BM_ReadFloorAdvised(benchmark::State& state, const char* name) {
  ReadFloor(state, name, Block::kAdvised);
}

BENCHMARK(BM_ParseLights)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseCamera)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseMaterials)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseObjects)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFloor, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFloorAdvised, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFloor, 256MB, "s256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFloorAdvised, 256MB, "s256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, 256MB, "s256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadThreads, 16MB, "s16")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoadThreads, 256MB, "s256")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace sceneio::bench
