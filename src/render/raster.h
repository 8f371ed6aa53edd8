// A small CPU rasteriser: a perspective view, triangles clipped at the near plane, a float depth
// buffer and an 8-bit RGB picture that nothing is ever written outside of. Surfaces that are
// shaded per pixel are drawn in two steps: which triangle is nearest at each pixel first (an id
// per pixel), their colour after, once per pixel; surfaces seen through are drawn last, each
// covered pixel handed to a callback that blends.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sceneio/types.h"

namespace sceneio {

// Where the picture is seen from. `forward` and `up` are unit length and at right angles;
// `yfov` is the vertical field of view in radians; znear and zfar bound the view depth.
struct View {
  Vector3 eye;
  Vector3 forward = {0, 0, -1};
  Vector3 up = {0, 1, 0};
  float yfov = 0.8f;
  float znear = 0.1f;
  float zfar = 100;
  int32_t width = 0;
  int32_t height = 0;
};

// A corner as the camera sees it: x and y scaled by the field of view, w the depth along
// `forward`, so the screen position is x / w, y / w. The colour is linear, not yet encoded.
struct ClipVertex {
  float x = 0;
  float y = 0;
  float w = 0;
  Color3 color;
};

using Rgb8 = std::array<uint8_t, 3>;

// One picture being drawn. Triangles are kept where they face the camera (counter-clockwise
// on screen, as glTF viewers draw a single-sided material), the nearest one wins each pixel,
// and anything nearer than znear or farther than zfar is cut away.
class Raster {
 public:
  // Every pixel starts as `background`. A view whose width or height is not positive, or
  // whose projection is not finite, draws nothing.
  Raster(const View& view, Rgb8 background);

  ClipVertex Project(const Vector3& point) const;

  // Gouraud: the corners' colours blended across the triangle.
  void DrawTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c);
  // Records `id` (not kNoId) at each pixel where the triangle is nearest so far.
  void DrawTriangleId(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, uint32_t id);
  // Calls `fragment(context, pixel index)` for each pixel the triangle covers in front of what
  // is there, leaving the depth as it is.
  using Fragment = void (*)(void* context, int64_t index);
  void DrawTriangleFragments(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                             Fragment fragment, void* context);
  // A square of `size` pixels centred on the point, where the point is in view.
  void DrawPoint(const ClipVertex& point, int32_t size);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // width * height pixels of three bytes, rows from the top.
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  std::vector<uint8_t>& pixels() { return pixels_; }
  // Per pixel the id DrawTriangleId left there, or kNoId (where nothing was, or a point or a
  // Gouraud triangle drew over it); empty until DrawTriangleId is first called.
  static constexpr uint32_t kNoId = 0xFFFFFFFFu;
  const std::vector<uint32_t>& ids() const { return ids_; }
  // Sets the pixel to the colour, made to differ from the background where it would equal it.
  void SetPixel(int64_t index, const Rgb8& color);

 private:
  struct ScreenVertex;
  enum class Mode : uint8_t { kColor, kId, kFragment };
  void Draw(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c);
  void FillTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
  void ClipAndFill(const ClipVertex* corners);
  ScreenVertex ToScreen(const ClipVertex& v) const;
  void Plot(int64_t index, const Color3& linear);

  int32_t width_ = 0;
  int32_t height_ = 0;
  View view_;
  Vector3 right_;
  float scaleX_ = 0;
  float scaleY_ = 0;
  float farthestInverse_ = 0;  // 1 / zfar
  Rgb8 background_{};
  std::vector<uint8_t> pixels_;
  std::vector<float> depth_;  // 1 / w of the nearest fragment so far; 0 where none
  std::vector<uint32_t> ids_;
  Mode mode_ = Mode::kColor;
  uint32_t id_ = kNoId;
  Fragment fragment_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace sceneio
