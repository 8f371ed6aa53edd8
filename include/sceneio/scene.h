// The loaded scene: four collections and the five files they were read from.
#pragma once

#include <cstdint>
#include <memory>

#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/file_buffer.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/parse_observer.h"
#include "sceneio/status.h"
#include "sceneio/types.h"

namespace sceneio {

struct Scene {
  CountedArray<Body> objects;
  CountedArray<Camera> camera;
  CountedArray<Light> lights;
  CountedArray<Material> materials;
  std::unique_ptr<FileBuffer> groupFile;
  std::unique_ptr<FileBuffer> objectFile;
  std::unique_ptr<FileBuffer> materialFile;
  std::unique_ptr<FileBuffer> lightFile;
  std::unique_ptr<FileBuffer> cameraFile;

  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  // The buffers go first, in field order, then the collections in reverse field order (which
  // is what member destruction does for them).
  ~Scene() {
    groupFile.reset();
    objectFile.reset();
    materialFile.reset();
    lightFile.reset();
    cameraFile.reset();
  }

  // Reads the group file, then the light, camera, material and object files in that order,
  // each through its parser. 0 when all five were read; -1 at the first file that was not
  // (not named, not readable) or when memory ran out. Nothing inside a data file fails it.
  int32_t Load(const char* groupPath);
  // The same load, with `observer` (may be null) told about each data file as its parser reads
  // it. What is loaded does not depend on it.
  int32_t Load(const char* groupPath, ParseObserver* observer);
};

struct LoadOptions {
  ParseObserver* observer = nullptr;  // told about each data file as its parser reads it
  int32_t threads = 1;                // at most this many threads read and parse; 1 is the Load
};

// Loads `groupPath` into `scene` exactly as Scene::Load does, and says why a load stopped: the
// file that was not named or not read (kLoadFailed), or memory running out (kOutOfMemory). What
// was read before the failure stays in `scene`.
Status LoadScene(Scene& scene, const char* groupPath, const LoadOptions& options = {});

}  // namespace sceneio
