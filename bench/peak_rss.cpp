// Loads one scene and prints the process's peak resident memory beside what the scene must
// hold: the bytes of its five files and of every array (and long string) it allocated.
//
//   scene-peak-rss DIR     (DIR holds dork.grp and the files it names)
//   scene-peak-rss DIR --convert OUT.glb
//   scene-peak-rss DIR --write OUT.grp
//
// With --convert the loaded scene is then written to OUT.glb the way scene-convert writes it,
// and the peak after that is printed too, beside the size of what was written. With --write it
// is written as the five files instead, and the peak after that is printed beside the load's.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "sceneio/gltf.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"

namespace sceneio::bench {
namespace {

// The high-water mark of this process image. getrusage's ru_maxrss would do, but Linux carries
// it over from the process that forked us (a script's interpreter can be larger than a small
// load), while VmHWM starts afresh at exec.
int64_t PeakResidentBytes() {
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atoll(line + 6);
    }
    std::fclose(status);
    if (kib >= 0) return kib * 1024;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;  // Linux reports KiB
}

// Heap bytes of a string beyond the object itself (zero while it fits the inline buffer).
int64_t HeapBytes(const std::string& text) {
  return text.capacity() > std::string().capacity() ? static_cast<int64_t>(text.capacity()) + 1 : 0;
}

template <typename T>
int64_t ArrayBytes(const CountedArray<T>& array) {
  return array.items ? static_cast<int64_t>(array.count) * static_cast<int64_t>(sizeof(T)) : 0;
}

int64_t SceneArrayBytes(const Scene& scene) {
  int64_t total = ArrayBytes(scene.lights) + ArrayBytes(scene.camera) +
                  ArrayBytes(scene.materials) + ArrayBytes(scene.objects);
  for (const Light& light : scene.lights) total += HeapBytes(light.name);
  for (const Camera& camera : scene.camera) total += HeapBytes(camera.name);
  for (const Material& material : scene.materials) {
    total += HeapBytes(material.name) + HeapBytes(material.textureName);
  }
  for (const Body& body : scene.objects) {
    total += HeapBytes(body.name) + ArrayBytes(body.vertices) + ArrayBytes(body.normals) +
             ArrayBytes(body.uvs) + ArrayBytes(body.faces) + ArrayBytes(body.faceParts.indices) +
             HeapBytes(body.faceParts.firstName) + HeapBytes(body.faceParts.secondName);
  }
  return total;
}

// What scene-convert does between the load and the conversion: the records hold copies of
// everything, so the files' bytes go back first.
void ReleaseFileBytes(Scene& scene) {
  for (auto* file : {&scene.groupFile, &scene.lightFile, &scene.cameraFile, &scene.materialFile,
                     &scene.objectFile}) {
    if (*file) (*file)->data.reset();
  }
}

// The five files stream out in chunks: the goal is no more than the load's peak plus 16 MiB.
int WriteFiveFiles(Scene& loaded, const char* groupPath, int64_t loadPeak) {
  ReleaseFileBytes(loaded);
  const Status result = WriteScene(loaded, groupPath, WriteOptions{});
  if (!result.ok()) {
    std::fprintf(stderr, "\nscene-peak-rss: write failed: %s\n", result.message.c_str());
    return 1;
  }
  const int64_t writePeak = PeakResidentBytes();
  std::printf(", \"write_peak_rss\": %lld, \"write_overhead\": %lld",
              static_cast<long long>(writePeak), static_cast<long long>(writePeak - loadPeak));
  return 0;
}

int Run(const char* dir, const char* convertTo, const char* writeTo) {
  const std::string scene = dir;
  const int64_t fileBytes = SceneBytes(scene);
  if (fileBytes < 0) {
    std::fprintf(stderr, "scene-peak-rss: no complete scene in %s\n", dir);
    return 2;
  }
  const int64_t before = PeakResidentBytes();
  Scene loaded;
  if (loaded.Load(GroupPathOf(scene).c_str()) != 0) {
    std::fprintf(stderr, "scene-peak-rss: load of %s failed\n", dir);
    return 1;
  }
  const int64_t peak = PeakResidentBytes();
  const int64_t arrayBytes = SceneArrayBytes(loaded);
  std::printf(
      "{\"scene\": \"%s\", \"peak_rss\": %lld, \"rss_before_load\": %lld, \"file_bytes\": %lld, "
      "\"array_bytes\": %lld, \"overhead\": %lld",
      dir, static_cast<long long>(peak), static_cast<long long>(before),
      static_cast<long long>(fileBytes), static_cast<long long>(arrayBytes),
      static_cast<long long>(peak - fileBytes - arrayBytes));
  if (writeTo != nullptr && WriteFiveFiles(loaded, writeTo, peak) != 0) return 1;
  if (convertTo != nullptr) {
    ReleaseFileBytes(loaded);
    const sceneio::Status result = WriteGltf(loaded, ExportOptions{}, convertTo);
    if (!result.ok()) {
      std::fprintf(stderr, "\nscene-peak-rss: conversion failed: %s\n", result.message.c_str());
      return 1;
    }
    const int64_t convertPeak = PeakResidentBytes();
    const int64_t outputBytes = FileSize(convertTo);
    // The goal: no more than the load's peak, plus what was written, plus 16 MiB.
    std::printf(", \"convert_peak_rss\": %lld, \"output_bytes\": %lld, \"convert_overhead\": %lld",
                static_cast<long long>(convertPeak), static_cast<long long>(outputBytes),
                static_cast<long long>(convertPeak - peak - outputBytes));
  }
  std::printf("}\n");
  return 0;
}

}  // namespace
}  // namespace sceneio::bench

int main(int argc, char** argv) {
  const bool convert = argc == 4 && std::strcmp(argv[2], "--convert") == 0;
  const bool write = argc == 4 && std::strcmp(argv[2], "--write") == 0;
  if (argc != 2 && !convert && !write) {
    std::fprintf(stderr, "usage: scene-peak-rss SCENE_DIR [--convert OUT.glb | --write OUT.grp]\n");
    return 2;
  }
  return sceneio::bench::Run(argv[1], convert ? argv[3] : nullptr, write ? argv[3] : nullptr);
}
