// Reading a file whole with several threads.
#pragma once

#include <cstdint>

#include "sceneio/file_buffer.h"

namespace sceneio {

// FileBuffer::LoadFile, with a large file read in stripes by up to `threads` threads: the same
// buffer, byte for byte, and the same result.
int32_t LoadFileWithThreads(FileBuffer& buffer, const char* filePath, int threads);

}  // namespace sceneio
