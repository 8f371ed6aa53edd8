// How the renderer sees and lights an exported scene: its view from the camera (or one framing
// all of its geometry), and the colours it falls back on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/raster.h"
#include "sceneio/export.h"
#include "sceneio/picture.h"

namespace sceneio {

inline constexpr Rgb8 kBackground = {48, 48, 48};
// A scene without a light is lit from the eye by this much white: with the diffuse lobe's
// 1 / pi, a surface facing the eye shows its base colour.
inline constexpr float kEyeLightIntensity = 3.14159265f;
inline constexpr int32_t kPointSize = 3;  // pixels across, for a body that has only vertices

// The camera exactly as the glTF export places it, with the picture's width / height as aspect.
View CameraView(const ExportCamera& camera, int32_t width, int32_t height);
// Sees the bounding box of every drawn position whole, from one fixed direction.
View FramingView(const ExportScene& scene, int32_t width, int32_t height);

}  // namespace sceneio
