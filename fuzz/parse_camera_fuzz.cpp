// The camera file parser over arbitrary bytes: at most one camera, always result 0.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "checking_observer.h"
#include "fuzz_check.h"
#include "scene_checks.h"
#include "sceneio/camera.h"

using namespace sceneio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  const FileBuffer file = fuzz::BufferOf(data, size);
  CountedArray<Camera> parsed;
  const int32_t result = ParseCamera(file, parsed);
  fuzz::CheckUnchanged(file, data, size);
  FUZZ_CHECK(result == 0);
  fuzz::CheckCamera(file, parsed);
  // Observed, the same bytes parse to the same records: nothing depends on the observer or on
  // memory left uninitialised.
  CountedArray<Camera> again;
  fuzz::CheckingObserver observer(file);
  FUZZ_CHECK(ParseCamera(file, again, &observer) == result);
  FUZZ_CHECK(fuzz::Flatten(parsed) == fuzz::Flatten(again));
  return 0;
}
