// Any bytes as an OBJ text mesh, in a folder that holds a material library and a PNG, so that
// mtllib and map_Kd are tried too: nothing outside the folder is read, nothing crashes or
// hangs, and what is imported holds (import_checks.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "import_checks.h"
#include "sceneio/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = sceneio::fuzz::FolderHolding(
      "sceneio-obj-fuzz", {{"m.mtl", "newmtl a\nKd 1 0 0\nmap_Kd t.png\nnewmtl b\nd 0.5\n"},
                           {"t.png", sceneio::fuzz::TinyPng()}});
  sceneio::ImportedScene imported;
  const sceneio::Status status =
      sceneio::ImportObjFromMemory(reinterpret_cast<const char*>(data), size, folder, imported);
  sceneio::fuzz::CheckImported(status, imported);
  return 0;
}
