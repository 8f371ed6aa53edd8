// The camera file parser over arbitrary bytes: at most one camera, always result 0.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_check.h"
#include "parsers/camera_parser.h"
#include "scene_checks.h"

using namespace sceneio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  const FileBuffer file = fuzz::BufferOf(data, size);
  CountedArray<Camera> parsed;
  const int32_t result = ParseCamera(file, parsed);
  fuzz::CheckUnchanged(file, data, size);
  FUZZ_CHECK(result == 0);
  fuzz::CheckCamera(file, parsed);
  // The same bytes parse to the same records: nothing depends on memory left uninitialised.
  CountedArray<Camera> again;
  FUZZ_CHECK(ParseCamera(file, again) == result);
  FUZZ_CHECK(fuzz::Flatten(parsed) == fuzz::Flatten(again));
  return 0;
}
