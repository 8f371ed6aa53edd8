// JPEG files made in a test, for the readers of textures and of models that hold them.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sceneio::testing {

// `rgb` (width x height, three bytes a pixel) as a baseline JPEG at full quality; empty when
// TurboJPEG fails.
inline std::string JpegOf(const std::vector<uint8_t>& rgb, int width, int height) {
  tjhandle handle = tjInitCompress();
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &bytes, &size,
                                 TJSAMP_444, 100, 0);
  std::string out = status == 0 ? std::string(reinterpret_cast<char*>(bytes), size) : "";
  tjFree(bytes);
  tjDestroy(handle);
  return out;
}

}  // namespace sceneio::testing
