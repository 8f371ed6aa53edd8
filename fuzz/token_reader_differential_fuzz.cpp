// The TokenReader and std::istringstream over the same bytes and the same reads, decoded from
// the input: any disagreement outside the documented differences aborts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/stream_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  // Operations from the end of the input, bytes from its front.
  const size_t opCount = input.ConsumeIntegralInRange<size_t>(0, 64);
  std::string ops;
  for (size_t i = 0; i < opCount; ++i) ops += "TFICPS"[input.ConsumeIntegral<uint8_t>() % 6];
  const std::string bytes = input.ConsumeRemainingBytesAsString();
  const auto result = sceneio::testing::CompareWithStream(bytes, ops);
  if (!result.mismatch.empty()) {
    std::fprintf(stderr, "ops %s: %s\n", ops.c_str(), result.mismatch.c_str());
    std::abort();
  }
  return 0;
}
