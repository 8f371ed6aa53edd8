// The light file parser over arbitrary bytes: the list's "(name" tokens fix the count.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "checking_observer.h"
#include "fuzz_check.h"
#include "scene_checks.h"
#include "sceneio/light.h"

using namespace sceneio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  const FileBuffer file = fuzz::BufferOf(data, size);
  CountedArray<Light> parsed;
  const int32_t result = ParseLights(file, parsed);
  fuzz::CheckUnchanged(file, data, size);
  FUZZ_CHECK(result == fuzz::CheckLights(file, parsed));
  // Observed, the same bytes parse to the same records: nothing depends on the observer or on
  // memory left uninitialised.
  CountedArray<Light> again;
  fuzz::CheckingObserver observer(file);
  FUZZ_CHECK(ParseLights(file, again, &observer) == result);
  FUZZ_CHECK(fuzz::Flatten(parsed) == fuzz::Flatten(again));
  return 0;
}
