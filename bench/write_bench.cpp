// Writing a loaded scene as the five files, beside its load: the text is made and streamed to
// the files in chunks, so the time is formatting and the kernel's copies, and the memory stays
// that of the scene.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "bench_support.h"
#include "loaded_scene.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"

namespace sceneio::bench {
namespace {

// Only the write is timed. The files go to the build tree beside the scene, under a base name of
// their own, and are removed afterwards.
void BM_WriteScene(benchmark::State& state, const char* name) {
  const std::string scene = SceneDir(name);
  Scene loaded;
  const int64_t bytes = LoadGenerated(state, scene, loaded);
  if (bytes < 0) return;
  const std::string output = scene + "/written.grp";
  for (auto _ : state) {
    const Status status = WriteScene(loaded, output, WriteOptions{});
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      break;
    }
  }
  int64_t written = 0;
  for (const char* extension : kExtensions) {
    const std::string path = scene + "/written" + extension;
    written += FileSize(path);
    unlink(path.c_str());
  }
  state.counters["output_bytes"] = static_cast<double>(written);
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK_CAPTURE(BM_WriteScene, 16MB, "s16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteScene, 256MB, "s256")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sceneio::bench
