// PNG encoding of a picture, through libspng: the same picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/render.h"

namespace sceneio {

// The whole PNG file in `png`; false, with `error`, when the picture is malformed or the
// encoder fails.
bool EncodePng(const Picture& picture, std::vector<uint8_t>& png, std::string& error);

// Encodes `picture` and puts it at `path`: written beside it first and renamed over it, so a
// failure leaves no file behind and an existing file untouched. false, with `error`, on failure.
bool WritePngFile(const Picture& picture, const std::string& path, std::string& error);

}  // namespace sceneio
