// One whole file in memory, with its path split the way the scene formats name files.
#pragma once

#include <cstdint>
#include <string>

#include "sceneio/block.h"

namespace sceneio {

// Whether the file was read is told by `data` alone: present (possibly zero bytes) or null.
// No terminating zero follows the bytes; every reader takes the length from `size`.
struct FileBuffer {
  std::string path;       // as given; backslashes separate directories
  std::string directory;  // up to and including the last backslash
  std::string baseName;   // after the last backslash, before the last full stop
  std::string extension;  // from the last full stop; empty when the path has none
  BlockPtr<char> data;    // from new[], or mapped for huge pages when large
  int32_t size = 0;

  FileBuffer() = default;
  // Always yields a buffer; a file that could not be read leaves `data` null.
  explicit FileBuffer(const char* filePath) { LoadFile(filePath); }

  // Reads the file whole. Returns the number of bytes read; 0 for a null path, a buffer that
  // already holds data, a file that cannot be read, and an empty file (test `data`, not this).
  int32_t LoadFile(const char* filePath);
};

// The name handed to the file system: on POSIX each backslash becomes a slash.
std::string NativePath(const std::string& path);

}  // namespace sceneio
