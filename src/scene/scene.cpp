// The load driver: group file first, then each data file in the fixed order of kinds.
#include "sceneio/scene.h"

#include <new>
#include <span>
#include <string>
#include <thread>

#include "io/file_read.h"
#include "io/names.h"
#include "parsers/object_threads.h"
#include "scene/include_resolver.h"
#include "scene/load_stop.h"
#include "sceneio/file_kinds.h"

namespace sceneio {
namespace {

// Only the object file is ever large enough to share among threads.
int32_t Parse(const FileKind& kind, const FileBuffer& buffer, Scene& scene, ParseObserver* observer,
              int threads) {
  if (kind.file == &Scene::objectFile) {
    return ParseObjectsWithThreads(buffer, scene.objects, observer, threads);
  }
  return kind.parse(buffer, scene, observer);
}

// Why LoadFiles stopped, when it did.
enum class Stop : uint8_t { kNone, kNotRead, kOutOfMemory };

Stop LoadFiles(Scene& scene, const char* groupPath, ParseObserver* observer, int threads) {
  scene.groupFile = std::make_unique<FileBuffer>(groupPath);
  if (!scene.groupFile->data) return Stop::kNotRead;
  for (const FileKind& kind : std::span(kFileKinds).subspan(1)) {
    // The resolved path is needed only while its buffer is made; the buffer keeps a copy.
    std::unique_ptr<char[]> path = ResolveInclude(*scene.groupFile, kind.extension);
    // Stored before it is tested: a buffer whose file was not read is still the Scene's.
    auto& buffer = scene.*kind.file;
    buffer = std::make_unique<FileBuffer>();
    LoadFileWithThreads(*buffer, path.get(), threads);
    if (!buffer->data) return Stop::kNotRead;
    if (observer != nullptr) observer->BeginFile(*buffer, kind.extension);
    if (Parse(kind, *buffer, scene, observer, threads) == kOutOfMemory) return Stop::kOutOfMemory;
  }
  return Stop::kNone;
}

// Strings can still run out of memory; that ends the load like any other allocation failure.
Stop GuardedLoad(Scene& scene, const char* groupPath, ParseObserver* observer, int threads = 1) {
  try {
    return LoadFiles(scene, groupPath, observer, threads);
  } catch (const std::bad_alloc&) {
    return Stop::kOutOfMemory;
  }
}

}  // namespace

// The first buffer without data is the file that was not read (a kind the group file does not
// name leaves an empty path); when every buffer holds data, memory ran out.
std::string LoadStopReason(const Scene& scene) {
  for (const FileKind& kind : kFileKinds) {
    const FileBuffer* file = (scene.*kind.file).get();
    if (file == nullptr || file->data != nullptr) continue;
    if (file->path.empty()) return "the group file names no " + std::string(kind.name) + " file";
    return ShownBytes(file->path) + " could not be read";
  }
  return "the load failed after reading its files";
}

int32_t Scene::Load(const char* groupPath) {
  return Load(groupPath, nullptr);
}

int32_t Scene::Load(const char* groupPath, ParseObserver* observer) {
  return GuardedLoad(*this, groupPath, observer) == Stop::kNone ? 0 : -1;
}

Status LoadScene(Scene& scene, const char* groupPath, const LoadOptions& options) {
  Status status;
  // 0 or less: one thread per core.
  const int threads =
      options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
  const Stop stop = GuardedLoad(scene, groupPath, options.observer, threads);
  if (stop == Stop::kNone) return status;
  try {
    status.Fail(stop == Stop::kOutOfMemory ? StatusCode::kOutOfMemory : StatusCode::kLoadFailed,
                LoadStopReason(scene));
  } catch (const std::bad_alloc&) {
    status.code = StatusCode::kOutOfMemory;
  }
  return status;
}

}  // namespace sceneio
