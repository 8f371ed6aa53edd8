// The object file parsed by several threads must give exactly the Bodies of one thread, over
// arbitrary bytes: pieces begin every few dozen bytes, so every list of any length is split and
// each break in the text falls at, inside or between pieces.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_check.h"
#include "parsers/object_threads.h"
#include "sceneio/body.h"

using namespace sceneio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  const FileBuffer file = fuzz::BufferOf(data, size);
  CountedArray<Body> alone;
  FUZZ_CHECK(ParseObjects(file, alone) == 0);
  const std::string expected = fuzz::Flatten(alone);
  // Two to four threads and pieces of 64 bytes and up, both from the size, so that one input
  // always runs the same way and a corpus runs them all.
  const int threads = 2 + static_cast<int>(size % 3);
  const auto spacing = static_cast<int32_t>(64 + (size / 3) % 5 * 40);
  CountedArray<Body> shared;
  FUZZ_CHECK(ParseObjectsWithThreads(file, shared, nullptr, threads, spacing) == 0);
  FUZZ_CHECK(fuzz::Flatten(shared) == expected);
  return 0;
}
