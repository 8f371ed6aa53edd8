// One load, or one plain read, per process, for bench/time-loads to time whole processes:
//   scene-oneshot read DIR             the scene's five files, each read whole as FileBuffer does
//   scene-oneshot load DIR THREADS     LoadScene with that many threads
// DIR holds dork.grp and the four files it names. Exit status 1 when anything fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "sceneio/scene.h"

int main(int argc, char** argv) {
  using namespace sceneio;
  if (argc >= 3 && std::strcmp(argv[1], "read") == 0) {
    for (const std::string& path : bench::SceneFiles(argv[2])) {
      if (bench::ReadWhole(path) != bench::FileSize(path)) return 1;
    }
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "load") == 0) {
    LoadOptions options;
    options.threads = std::atoi(argv[3]);
    Scene scene;
    const std::string group = bench::GroupPathOf(argv[2]);
    return LoadScene(scene, group.c_str(), options).ok() ? 0 : 1;
  }
  std::fputs("usage: scene-oneshot read DIR | scene-oneshot load DIR THREADS\n", stderr);
  return 2;
}
