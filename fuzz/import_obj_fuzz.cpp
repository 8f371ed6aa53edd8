// Any bytes as an OBJ text mesh, in a folder that holds a material library and a PNG, so that
// mtllib and map_Kd are tried too: nothing outside the folder is read, nothing crashes or
// hangs, and what is imported holds (import_checks.h).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "import_checks.h"
#include "sceneio/import.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sceneio-obj-fuzz";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "m.mtl") << "newmtl a\nKd 1 0 0\nmap_Kd t.png\nnewmtl b\nd 0.5\n";
    std::ofstream(dir / "t.png", std::ios::binary) << std::string(
        "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\0\0\0\0", 33);
    return dir.string();
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sceneio::ImportedScene imported;
  const sceneio::Status status =
      sceneio::ImportObjFromMemory(reinterpret_cast<const char*>(data), size, Folder(), imported);
  sceneio::fuzz::CheckImported(status, imported);
  return 0;
}
