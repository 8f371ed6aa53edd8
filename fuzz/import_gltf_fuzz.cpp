// Any bytes as a .gltf or .glb document, in a folder that holds a small buffer and a PNG, so
// that external names are tried too: nothing outside the folder is read, nothing crashes or
// hangs, memory stays in proportion, and what is imported holds (import_checks.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "import_checks.h"
#include "sceneio/import.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "sceneio-import-fuzz";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "a.bin", std::ios::binary) << std::string(36, '\0');
    // Signature and IHDR of a 1x1 greyscale PNG: the header is all the importer reads.
    std::ofstream(dir / "t.png", std::ios::binary) << std::string(
        "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\0\0\0\0", 33);
    return dir.string();
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sceneio::ImportedScene imported;
  const sceneio::Status status = sceneio::ImportGltfFromMemory(data, size, Folder(), imported);
  sceneio::fuzz::CheckImported(status, imported);
  return 0;
}
