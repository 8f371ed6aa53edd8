// The picture of an exported scene, drawn on the CPU from its camera (or a view framing all of
// its geometry), lit by its directional lights, coloured by its materials; and its PNG file,
// through libspng: the same picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/export.h"
#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// Pictures are 8-bit RGB, rows from the top.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;
};

inline constexpr int32_t kMinPictureSide = 16;
inline constexpr int32_t kMaxPictureSide = 8192;

// "WxH" with each side a decimal from kMinPictureSide to kMaxPictureSide, e.g. "800x600".
bool ParsePictureSize(std::string_view text, int32_t& width, int32_t& height);

// Draws `scene` at width x height. The notes say what the reader should know: that the view
// was made up for want of a camera, or the light for want of one. Fails when the picture cannot
// be had: a side not positive (kBadOptions), memory for it ran out. Throws nothing.
Status RenderScene(const ExportScene& scene, int32_t width, int32_t height, Picture& picture);

// The whole PNG file in `png`; kWriteFailed when the picture is malformed or the encoder fails.
Status EncodePng(const Picture& picture, std::vector<uint8_t>& png);

// Encodes `picture` and puts it at `path`: written beside it first and renamed over it, so a
// failure leaves no file behind and an existing file untouched.
Status WritePngFile(const Picture& picture, const std::string& path);

// Maps `scene` under `options` as the glTF export does (PrepareExport), draws it at width x
// height and writes the PNG to `path` the same way. The note that the view was made up is in
// the result's notes. Throws nothing.
Status WritePicture(const Scene& scene, const ExportOptions& options, int32_t width, int32_t height,
                    const std::string& path);

}  // namespace sceneio
