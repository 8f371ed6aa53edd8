// Any bytes as a .gltf or .glb document, in a folder that holds a small buffer and a PNG, so
// that external names are tried too: nothing outside the folder is read, nothing crashes or
// hangs, memory stays in proportion, and what is imported holds (import_checks.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "import_checks.h"
#include "sceneio/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = sceneio::fuzz::FolderHolding(
      "sceneio-import-fuzz",
      {{"a.bin", std::string(36, '\0')}, {"t.png", sceneio::fuzz::TinyPng()}});
  sceneio::ImportedScene imported;
  const sceneio::Status status = sceneio::ImportGltfFromMemory(data, size, folder, imported);
  sceneio::fuzz::CheckImported(status, imported);
  return 0;
}
