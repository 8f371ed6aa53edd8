// The picture of an exported scene: from its camera (or a view framing all of its geometry),
// lit by its directional lights, coloured by its materials.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_model.h"
#include "render/raster.h"

namespace sceneio {

// Pictures are 8-bit RGB, rows from the top.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;
};

inline constexpr Rgb8 kBackground = {48, 48, 48};
inline constexpr Color3 kNoMaterialColor = {0.5f, 0.5f, 0.5f};  // linear, as glTF colours are
inline constexpr float kAmbient = 0.12f;  // so a side no light reaches is dark, not black
inline constexpr int32_t kPointSize = 3;  // pixels across, for a body that has only vertices

inline constexpr int32_t kMinPictureSide = 16;
inline constexpr int32_t kMaxPictureSide = 8192;

// "WxH" with each side a decimal from kMinPictureSide to kMaxPictureSide, e.g. "800x600".
bool ParsePictureSize(std::string_view text, int32_t& width, int32_t& height);

// The camera exactly as the glTF export places it, with the picture's width / height as aspect.
View CameraView(const ExportCamera& camera, int32_t width, int32_t height);
// Sees the bounding box of every drawn position whole, from one fixed direction.
View FramingView(const ExportScene& scene, int32_t width, int32_t height);

// Draws `scene` at width x height. Appends to `notes` what the reader should know: that the
// view was made up for want of a camera, or the light for want of one. false, with `error`,
// when the picture cannot be had (a side not positive, memory for it ran out).
bool RenderScene(const ExportScene& scene, int32_t width, int32_t height, Picture& picture,
                 std::vector<std::string>& notes, std::string& error);

}  // namespace sceneio
