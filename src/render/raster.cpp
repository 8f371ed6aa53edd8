// Edge-function triangle fill with a float depth buffer; clipping only where a triangle needs it.
#include "render/raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "render/texture.h"

namespace sceneio {
namespace {

// A triangle reaching more than this many half-screens off the picture is clipped to that band
// first, so the edge functions never work with screen coordinates far larger than the picture.
constexpr double kGuardBand = 2;

// An edge whose points of equal value belong to the triangle (top or left edge) takes ties;
// the others do not, so a pixel centre on an edge shared by two triangles is drawn once.
double TieThreshold(double dx, double dy) {
  const bool topOrLeft = dy < 0 || (dy == 0 && dx > 0);
  return topOrLeft ? 0.0 : std::numeric_limits<double>::denorm_min();
}

bool IsFinite(const ClipVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.w) &&
         std::isfinite(v.color.r) && std::isfinite(v.color.g) && std::isfinite(v.color.b);
}

float Dot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The clipping polygon works in double so that planes scaled by the guard band cannot overflow
// for any finite float corner.
struct ClipPoint {
  double x, y, w, r, g, b;
};

ClipPoint Lerp(const ClipPoint& p, const ClipPoint& q, double t) {
  return {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.w + (q.w - p.w) * t,
          p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t};
}

// Signed distance to one clip plane: inside where it is not negative.
struct Plane {
  double w, x, y, offset;
  double Of(const ClipPoint& p) const { return w * p.w + x * p.x + y * p.y + offset; }
};

// Keeps the part of the convex polygon `in` (n corners) on the inside of `plane`; each plane
// adds at most one corner, so five planes take a triangle to at most eight.
int ClipPolygon(const ClipPoint* in, int n, const Plane& plane, ClipPoint* out) {
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const ClipPoint& p = in[i];
    const ClipPoint& q = in[(i + 1) % n];
    const double dp = plane.Of(p);
    const double dq = plane.Of(q);
    if (dp >= 0) out[kept++] = p;
    if ((dp >= 0) != (dq >= 0)) out[kept++] = Lerp(p, q, dp / (dp - dq));
  }
  return kept;
}

}  // namespace

// A corner on the picture: pixel coordinates (x right, y down), 1 / w, and colour over w, all
// of which vary linearly across the screen.
struct Raster::ScreenVertex {
  double x, y;
  double inverseW;
  double r, g, b;
};

Raster::Raster(const View& view, Rgb8 background) : view_(view), background_(background) {
  if (view.width > 0 && view.height > 0) {
    width_ = view.width;
    height_ = view.height;
  }
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  pixels_.resize(count * 3);
  for (size_t i = 0; i < count; ++i)
    std::copy(background.begin(), background.end(), &pixels_[i * 3]);
  depth_.assign(count, 0.0f);

  right_ = {view.forward.y * view.up.z - view.forward.z * view.up.y,
            view.forward.z * view.up.x - view.forward.x * view.up.z,
            view.forward.x * view.up.y - view.forward.y * view.up.x};
  const double halfTan = std::tan(0.5 * static_cast<double>(view.yfov));
  // A field of view in (0, 3.14159) gives a finite, positive half tangent.
  const bool usable = view.yfov > 0 && view.yfov < 3.14159f && view.znear > 0 &&
                      view.zfar > view.znear && std::isfinite(view.zfar) && count > 0;
  if (usable) {
    scaleY_ = static_cast<float>(1.0 / halfTan);
    scaleX_ = static_cast<float>(height_ / (halfTan * width_));
    farthestInverse_ = 1.0f / view.zfar;
  } else {
    width_ = 0;  // nothing is drawn; the background stays
    height_ = 0;
  }
}

ClipVertex Raster::Project(const Vector3& point) const {
  const Vector3 d = {point.x - view_.eye.x, point.y - view_.eye.y, point.z - view_.eye.z};
  return {Dot(d, right_) * scaleX_, Dot(d, view_.up) * scaleY_, Dot(d, view_.forward), {}};
}

Raster::ScreenVertex Raster::ToScreen(const ClipVertex& v) const {
  const double inverseW = 1.0 / v.w;
  return {(v.x * inverseW + 1) * 0.5 * width_,
          (1 - v.y * inverseW) * 0.5 * height_,
          inverseW,
          v.color.r * inverseW,
          v.color.g * inverseW,
          v.color.b * inverseW};
}

void Raster::DrawTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
  mode_ = Mode::kColor;
  Draw(a, b, c);
}

void Raster::DrawTriangleId(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                            uint32_t id) {
  if (width_ == 0) return;
  if (ids_.empty()) ids_.assign(depth_.size(), kNoId);
  mode_ = Mode::kId;
  id_ = id;
  Draw(a, b, c);
}

void Raster::DrawTriangleFragments(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                                   Fragment fragment, void* context) {
  mode_ = Mode::kFragment;
  fragment_ = fragment;
  context_ = context;
  Draw(a, b, c);
}

void Raster::Draw(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
  if (width_ == 0) return;
  if (!IsFinite(a) || !IsFinite(b) || !IsFinite(c)) return;
  const float zfar = view_.zfar;
  if (a.w > zfar && b.w > zfar && c.w > zfar) return;
  const auto inBand = [this](const ClipVertex& v) {
    const float band = static_cast<float>(kGuardBand) * v.w;
    return v.w >= view_.znear && v.x <= band && -v.x <= band && v.y <= band && -v.y <= band;
  };
  if (inBand(a) && inBand(b) && inBand(c)) {
    FillTriangle(ToScreen(a), ToScreen(b), ToScreen(c));
    return;
  }
  // Entirely beyond one side: nothing to clip.
  const auto beyond = [&](auto outside) { return outside(a) && outside(b) && outside(c); };
  if (beyond([this](const ClipVertex& v) { return v.w < view_.znear; })) return;
  if (beyond([](const ClipVertex& v) { return v.x > v.w; })) return;
  if (beyond([](const ClipVertex& v) { return -v.x > v.w; })) return;
  if (beyond([](const ClipVertex& v) { return v.y > v.w; })) return;
  if (beyond([](const ClipVertex& v) { return -v.y > v.w; })) return;
  const ClipVertex corners[3] = {a, b, c};
  ClipAndFill(corners);
}

void Raster::ClipAndFill(const ClipVertex* corners) {
  ClipPoint polygon[2][8];
  for (int i = 0; i < 3; ++i) {
    const ClipVertex& v = corners[i];
    polygon[0][i] = {v.x, v.y, v.w, v.color.r, v.color.g, v.color.b};
  }
  // The near plane first: after it every corner has w >= znear > 0, so the band planes and
  // the division by w are safe.
  const Plane planes[] = {
      {1, 0, 0, -static_cast<double>(view_.znear)},
      {kGuardBand, -1, 0, 0},
      {kGuardBand, 1, 0, 0},
      {kGuardBand, 0, -1, 0},
      {kGuardBand, 0, 1, 0},
  };
  int n = 3;
  int from = 0;
  for (const Plane& plane : planes) {
    n = ClipPolygon(polygon[from], n, plane, polygon[1 - from]);
    from = 1 - from;
    if (n < 3) return;
  }
  ScreenVertex screen[8];
  for (int i = 0; i < n; ++i) {
    const ClipPoint& p = polygon[from][i];
    const double w = std::max(p.w, static_cast<double>(view_.znear));
    const double inverseW = 1.0 / w;
    screen[i] = {(p.x * inverseW + 1) * 0.5 * width_,
                 (1 - p.y * inverseW) * 0.5 * height_,
                 inverseW,
                 p.r * inverseW,
                 p.g * inverseW,
                 p.b * inverseW};
  }
  // The clipped polygon is convex and keeps the triangle's turn: a fan covers it.
  for (int i = 1; i + 1 < n; ++i) FillTriangle(screen[0], screen[i], screen[i + 1]);
}

void Raster::FillTriangle(const ScreenVertex& a, const ScreenVertex& first,
                          const ScreenVertex& second) {
  // Counter-clockwise as seen (y up) is negative area with y down; the rest faces away, or
  // has no area at all.
  const double area = (first.x - a.x) * (second.y - a.y) - (first.y - a.y) * (second.x - a.x);
  if (!(area < 0)) return;
  // Taken in the other order the area is positive, and each edge function is positive inside.
  const ScreenVertex& b = second;
  const ScreenVertex& c = first;
  const double inverseArea = -1.0 / area;

  const double minX = std::min({a.x, b.x, c.x});
  const double maxX = std::max({a.x, b.x, c.x});
  const double minY = std::min({a.y, b.y, c.y});
  const double maxY = std::max({a.y, b.y, c.y});
  // Pixel centres at +0.5; clamped to the picture before any conversion to an integer.
  const double lastX = width_ - 1;
  const double lastY = height_ - 1;
  const double x0 = std::clamp(std::ceil(minX - 0.5), 0.0, lastX + 1);
  const double x1 = std::clamp(std::floor(maxX - 0.5), -1.0, lastX);
  const double y0 = std::clamp(std::ceil(minY - 0.5), 0.0, lastY + 1);
  const double y1 = std::clamp(std::floor(maxY - 0.5), -1.0, lastY);
  if (!(x0 <= x1) || !(y0 <= y1)) return;
  const int32_t startX = static_cast<int32_t>(x0);
  const int32_t endX = static_cast<int32_t>(x1);
  const int32_t startY = static_cast<int32_t>(y0);
  const int32_t endY = static_cast<int32_t>(y1);

  // Edge k is the one opposite corner k; its function is 0 on it and grows towards that corner.
  const ScreenVertex* from[3] = {&b, &c, &a};
  const ScreenVertex* to[3] = {&c, &a, &b};
  double stepX[3], stepY[3], tie[3];
  for (int k = 0; k < 3; ++k) {
    const double dx = to[k]->x - from[k]->x;
    const double dy = to[k]->y - from[k]->y;
    stepX[k] = -dy;
    stepY[k] = dx;
    tie[k] = TieThreshold(dx, dy);
  }
  const auto edgeAt = [&](int k, double x, double y) {
    return stepY[k] * (y - from[k]->y) + stepX[k] * (x - from[k]->x);
  };

  const double farthest = farthestInverse_;
  for (int32_t py = startY; py <= endY; ++py) {
    const double sy = py + 0.5;
    const double sx = startX + 0.5;
    double e0 = edgeAt(0, sx, sy);
    double e1 = edgeAt(1, sx, sy);
    double e2 = edgeAt(2, sx, sy);
    const int64_t row = static_cast<int64_t>(py) * width_;
    for (int32_t px = startX; px <= endX; ++px, e0 += stepX[0], e1 += stepX[1], e2 += stepX[2]) {
      if (!(e0 >= tie[0] && e1 >= tie[1] && e2 >= tie[2])) continue;
      const double w0 = e0 * inverseArea;
      const double w1 = e1 * inverseArea;
      const double w2 = e2 * inverseArea;
      const double inverseW = w0 * a.inverseW + w1 * b.inverseW + w2 * c.inverseW;
      if (inverseW < farthest) continue;  // beyond zfar
      const int64_t index = row + px;
      const float depth = static_cast<float>(inverseW);
      if (!(depth > depth_[index])) continue;
      if (mode_ == Mode::kFragment) {
        fragment_(context_, index);
        continue;
      }
      depth_[index] = depth;
      if (mode_ == Mode::kId) {
        ids_[index] = id_;
        continue;
      }
      const double z = 1.0 / inverseW;
      Plot(index, {static_cast<float>((w0 * a.r + w1 * b.r + w2 * c.r) * z),
                   static_cast<float>((w0 * a.g + w1 * b.g + w2 * c.g) * z),
                   static_cast<float>((w0 * a.b + w1 * b.b + w2 * c.b) * z)});
    }
  }
}

void Raster::DrawPoint(const ClipVertex& point, int32_t size) {
  if (width_ == 0 || size <= 0 || !IsFinite(point)) return;
  if (point.w < view_.znear || point.w > view_.zfar) return;
  const ScreenVertex s = ToScreen(point);
  const double half = 0.5 * size;
  const double x0 = std::clamp(std::ceil(s.x - half - 0.5), 0.0, width_ + 0.0);
  const double x1 = std::clamp(std::ceil(s.x + half - 0.5) - 1, -1.0, width_ - 1.0);
  const double y0 = std::clamp(std::ceil(s.y - half - 0.5), 0.0, height_ + 0.0);
  const double y1 = std::clamp(std::ceil(s.y + half - 0.5) - 1, -1.0, height_ - 1.0);
  if (!(x0 <= x1) || !(y0 <= y1)) return;
  const float depth = static_cast<float>(s.inverseW);
  for (int32_t py = static_cast<int32_t>(y0); py <= static_cast<int32_t>(y1); ++py) {
    for (int32_t px = static_cast<int32_t>(x0); px <= static_cast<int32_t>(x1); ++px) {
      const int64_t index = static_cast<int64_t>(py) * width_ + px;
      if (!(depth > depth_[index])) continue;
      depth_[index] = depth;
      Plot(index, point.color);
    }
  }
}

void Raster::Plot(int64_t index, const Color3& linear) {
  if (!ids_.empty()) ids_[index] = kNoId;
  SetPixel(index,
           {LinearToSrgbByte(linear.r), LinearToSrgbByte(linear.g), LinearToSrgbByte(linear.b)});
}

void Raster::SetPixel(int64_t index, const Rgb8& color) {
  uint8_t* pixel = &pixels_[static_cast<size_t>(index) * 3];
  pixel[0] = color[0];
  pixel[1] = color[1];
  pixel[2] = color[2];
  // Geometry never takes the background's exact colour, so what is not background is what
  // was drawn.
  if (pixel[0] == background_[0] && pixel[1] == background_[1] && pixel[2] == background_[2]) {
    pixel[0] ^= 1;
  }
}

}  // namespace sceneio
