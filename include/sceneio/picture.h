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

// Draws `scene` at width x height. Appends to `notes` what the reader should know: that the
// view was made up for want of a camera, or the light for want of one. false, with `error`,
// when the picture cannot be had (a side not positive, memory for it ran out).
bool RenderScene(const ExportScene& scene, int32_t width, int32_t height, Picture& picture,
                 std::vector<std::string>& notes, std::string& error);

// The whole PNG file in `png`; false, with `error`, when the picture is malformed or the
// encoder fails.
bool EncodePng(const Picture& picture, std::vector<uint8_t>& png, std::string& error);

// Encodes `picture` and puts it at `path`: written beside it first and renamed over it, so a
// failure leaves no file behind and an existing file untouched. false, with `error`, on failure.
bool WritePngFile(const Picture& picture, const std::string& path, std::string& error);

// Maps `scene` under `options` as the glTF export does (PrepareExport), draws it at width x
// height and writes the PNG to `path` the same way. The note that the view was made up is in
// the result's notes. Throws nothing.
ExportResult WritePicture(const Scene& scene, const ExportOptions& options, int32_t width,
                          int32_t height, const std::string& path);

}  // namespace sceneio
