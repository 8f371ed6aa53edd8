// The object file parser over arbitrary bytes: every array sized by the counting pass.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "checking_observer.h"
#include "fuzz_check.h"
#include "scene_checks.h"
#include "sceneio/body.h"

using namespace sceneio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  const FileBuffer file = fuzz::BufferOf(data, size);
  CountedArray<Body> parsed;
  const int32_t result = ParseObjects(file, parsed);
  fuzz::CheckUnchanged(file, data, size);
  FUZZ_CHECK(result == 0);
  fuzz::CheckObjects(file, parsed);
  // Observed, the same bytes parse to the same records: nothing depends on the observer or on
  // memory left uninitialised.
  CountedArray<Body> again;
  fuzz::CheckingObserver observer(file);
  FUZZ_CHECK(ParseObjects(file, again, &observer) == result);
  FUZZ_CHECK(fuzz::Flatten(parsed) == fuzz::Flatten(again));
  return 0;
}
