// The rasteriser on hand-placed triangles and points: clipping, culling, depth and the picture's
// edges.
#include "render/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace sceneio {
namespace {

constexpr Rgb8 kBack = {48, 48, 48};
constexpr int32_t kSide = 64;

// From the origin down -z, 90 degrees across, so a point (x, y, -d) lands on pixel
// ((x / d + 1) * 32, (1 - y / d) * 32).
View TestView() {
  View view;
  view.eye = {0, 0, 0};
  view.forward = {0, 0, -1};
  view.up = {0, 1, 0};
  view.yfov = static_cast<float>(M_PI / 2);
  view.znear = 1;
  view.zfar = 100;
  view.width = kSide;
  view.height = kSide;
  return view;
}

bool Drawn(const Raster& raster, int32_t x, int32_t y) {
  const uint8_t* p = &raster.pixels()[(static_cast<size_t>(y) * raster.width() + x) * 3];
  return p[0] != kBack[0] || p[1] != kBack[1] || p[2] != kBack[2];
}

int32_t DrawnCount(const Raster& raster) {
  int32_t count = 0;
  for (int32_t y = 0; y < raster.height(); ++y) {
    for (int32_t x = 0; x < raster.width(); ++x) count += Drawn(raster, x, y) ? 1 : 0;
  }
  return count;
}

void Draw(Raster& raster, const Vector3 (&corners)[3], Color3 color = {1, 1, 1}) {
  ClipVertex v[3];
  for (int i = 0; i < 3; ++i) {
    v[i] = raster.Project(corners[i]);
    v[i].color = color;
  }
  raster.DrawTriangle(v[0], v[1], v[2]);
}

struct Pixel {
  int32_t x, y;
};

// A floor at y = -1 that reaches behind the eye; front side up, towards the eye.
constexpr Vector3 kFloor[3] = {{-50, -1, 10}, {50, -1, 10}, {0, -1, -50}};

const struct {
  const char* name;
  Vector3 corners[3];
  std::vector<Pixel> drawn;
  std::vector<Pixel> background;
  int32_t count;  // pixels drawn in all, or -1 when only the listed pixels are checked
} kTriangleCases[] = {
    // Dropped, nothing would show; projected through w < 0, the corner behind the eye would
    // land above the horizon.
    {"crossing the near plane is clipped, not dropped",
     {kFloor[0], kFloor[1], kFloor[2]},
     {{32, 60}, {1, 63}, {62, 63}, {32, 34}},
     {{32, 20}, {32, 31}, {0, 0}},
     -1},
    {"facing away is not drawn", {kFloor[0], kFloor[2], kFloor[1]}, {}, {}, 0},
    {"wholly behind the eye draws nothing", {{-5, -5, 5}, {5, -5, 5}, {0, 5, 5}}, {}, {}, 0},
    {"wholly beyond zfar draws nothing",
     {{-500, -500, -200}, {500, -500, -200}, {0, 500, -200}},
     {},
     {},
     0},
    // 1 / w runs from 1/50 at the base to 1/150 at the tip: zfar = 100 crosses at row 32.
    {"crossing zfar is cut there",
     {{-10, -10, -50}, {10, -10, -50}, {0, 10, -150}},
     {{32, 36}, {32, 33}},
     {{32, 31}, {32, 30}},
     -1},
    {"crossing zfar with only its first corner beyond is cut there",
     {{0, 10, -150}, {-10, -10, -50}, {10, -10, -50}},
     {{32, 36}, {32, 33}},
     {{32, 31}, {32, 30}},
     -1},
    // 1 / w runs from 1/50 at the tip to 1/150 at the base: zfar = 100 crosses at row 32.
    {"crossing zfar with two corners beyond is cut there",
     {{-10, -10, -150}, {10, -10, -150}, {0, 10, -50}},
     {{32, 30}, {32, 31}},
     {{32, 33}, {32, 34}},
     -1},
    {"far larger than the picture fills all of it",
     {{-1e4f, -1e4f, -10}, {1e4f, -1e4f, -10}, {0, 1e4f, -10}},
     {},
     {},
     kSide* kSide},
    {"wholly off to one side draws nothing",
     {{1000, -1, -10}, {1010, -1, -10}, {1005, 1, -10}},
     {},
     {},
     0},
    {"wholly above draws nothing", {{-1, 1000, -10}, {1, 1000, -10}, {0, 1010, -10}}, {}, {}, 0},
    {"wholly below draws nothing", {{-1, -1010, -10}, {1, -1010, -10}, {0, -1000, -10}}, {}, {}, 0},
    {"past a corner of the picture, beyond no one side, draws nothing",
     {{50, 5, -10}, {50, 50, -10}, {5, 50, -10}},
     {},
     {},
     0},
    {"just above the picture, inside the guard band, draws nothing",
     {{-1, 15, -10}, {1, 15, -10}, {0, 18, -10}},
     {},
     {},
     0},
    {"just right of the picture, inside the guard band, draws nothing",
     {{15, -1, -10}, {17, -1, -10}, {16, 1, -10}},
     {},
     {},
     0},
    {"reaching past every edge and behind the eye stays in the picture",
     {{-1e30f, -1e30f, 1e30f}, {1e30f, -1e30f, -1e30f}, {0, 1e30f, -1e30f}},
     {},
     {},
     -1},
    {"a corner at infinity draws nothing",
     {{0, 0, -10}, {1, 0, -10}, {0, std::numeric_limits<float>::infinity(), -10}},
     {},
     {},
     0},
    {"a corner that is not a number draws nothing",
     {{0, 0, -10}, {1, 0, -10}, {0, std::numeric_limits<float>::quiet_NaN(), -10}},
     {},
     {},
     0},
    {"no area draws nothing", {{0, 0, -10}, {1, 1, -10}, {2, 2, -10}}, {}, {}, 0},
};

TEST(Raster, Triangles) {
  for (const auto& c : kTriangleCases) {
    SCOPED_TRACE(c.name);
    Raster raster(TestView(), kBack);
    Draw(raster, c.corners);
    for (const Pixel& p : c.drawn) {
      EXPECT_TRUE(Drawn(raster, p.x, p.y)) << p.x << "," << p.y;
    }
    for (const Pixel& p : c.background) {
      EXPECT_FALSE(Drawn(raster, p.x, p.y)) << p.x << "," << p.y;
    }
    if (c.count >= 0) {
      EXPECT_EQ(DrawnCount(raster), c.count);
    }
    EXPECT_EQ(raster.pixels().size(), static_cast<size_t>(kSide * kSide * 3));
  }
}

// The whole floor below the horizon is covered: no band of rows lost next to the near plane.
TEST(Raster, ClippedFloorCoversEveryRowBelowTheHorizon) {
  Raster raster(TestView(), kBack);
  Draw(raster, kFloor);
  for (int32_t y = 33; y < kSide; ++y) EXPECT_TRUE(Drawn(raster, 32, y)) << y;
}

// The diagonal of the square runs through pixel centres: one of the two triangles must take them.
TEST(Raster, TwoTrianglesSharingAnEdgeLeaveNoCrack) {
  Raster raster(TestView(), kBack);
  const Vector3 a = {-2, -2, -2}, b = {2, -2, -2}, c = {2, 2, -2}, d = {-2, 2, -2};
  Draw(raster, {a, b, c});
  Draw(raster, {a, c, d});
  EXPECT_EQ(DrawnCount(raster), kSide * kSide);
}

TEST(Raster, NearerTriangleWinsInEitherOrder) {
  const Vector3 near[3] = {{-1, -1, -5}, {1, -1, -5}, {0, 1, -5}};
  const Vector3 far[3] = {{-10, -10, -20}, {10, -10, -20}, {0, 10, -20}};
  for (const bool nearFirst : {true, false}) {
    SCOPED_TRACE(nearFirst ? "near drawn first" : "far drawn first");
    Raster raster(TestView(), kBack);
    if (nearFirst) Draw(raster, near, {1, 0, 0});
    Draw(raster, far, {0, 0, 1});
    if (!nearFirst) Draw(raster, near, {1, 0, 0});
    const uint8_t* centre = &raster.pixels()[(32 * kSide + 32) * 3];
    EXPECT_EQ(centre[0], 255);
    EXPECT_EQ(centre[2], 0);
  }
}

TEST(Raster, ColourIsEncodedAndNeverTheBackground) {
  Raster raster(TestView(), kBack);
  const Vector3 left[3] = {{-2, -2, -2}, {0, -2, -2}, {0, 2, -2}};
  const Vector3 right[3] = {{0, -2, -2}, {2, -2, -2}, {2, 2, -2}};
  Draw(raster, left, {1, 0.5f, 0});
  // Linear 0.0296 encodes to 48, the background's own value.
  Draw(raster, right, {0.0296f, 0.0296f, 0.0296f});
  const uint8_t* p = &raster.pixels()[(56 * kSide + 24) * 3];
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 188);
  EXPECT_EQ(p[2], 0);
  EXPECT_TRUE(Drawn(raster, 60, 40));
}

constexpr struct {
  const char* name;
  Vector3 point;
  int32_t count;
} kPointCases[] = {
    {"a point in view is a square of three by three", {0, 0, -10}, 9},
    {"at the picture's corner only the part inside is drawn",
     {-10 + 10.0f / 64, 10 - 10.0f / 64, -10},
     4},
    {"behind the eye draws nothing", {0, 0, 10}, 0},
    {"nearer than znear draws nothing", {0, 0, -0.5f}, 0},
    {"beyond zfar draws nothing", {0, 0, -500}, 0},
    {"far off the picture draws nothing", {1e9f, 0, -10}, 0},
};

TEST(Raster, Points) {
  for (const auto& c : kPointCases) {
    SCOPED_TRACE(c.name);
    Raster raster(TestView(), kBack);
    ClipVertex v = raster.Project(c.point);
    v.color = {1, 1, 1};
    raster.DrawPoint(v, 3);
    EXPECT_EQ(DrawnCount(raster), c.count);
  }
}

constexpr struct {
  const char* name;
  float yfov, znear, zfar;
} kUnusableViews[] = {
    {"no field of view", 0, 1, 100},
    {"a field of view of half a turn", static_cast<float>(M_PI), 1, 100},
    {"znear of zero", 1, 0, 100},
    {"zfar before znear", 1, 10, 5},
    {"zfar at infinity", 1, 1, std::numeric_limits<float>::infinity()},
    {"a field of view that is not a number", std::numeric_limits<float>::quiet_NaN(), 1, 100},
    {"znear that is not a number", 1, std::numeric_limits<float>::quiet_NaN(), 100},
};

// A value that is not finite anywhere in a corner, its position or its colour, would reach the
// integer pixel arithmetic as nonsense: the triangle or point is dropped instead.
TEST(Raster, NothingNotFiniteIsDrawn) {
  float ClipVertex::*fields[] = {&ClipVertex::x, &ClipVertex::y, &ClipVertex::w};
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()};
  for (int field = 0; field < 6; ++field) {
    for (const float value : bad) {
      for (int corner = 0; corner < 3; ++corner) {
        SCOPED_TRACE(testing::Message() << "field " << field << " of corner " << corner);
        Raster raster(TestView(), kBack);
        const Vector3 big[3] = {{-1e4f, -1e4f, -10}, {1e4f, -1e4f, -10}, {0, 1e4f, -10}};
        ClipVertex v[3];
        for (int i = 0; i < 3; ++i) {
          v[i] = raster.Project(big[i]);
          v[i].color = {1, 1, 1};
        }
        ClipVertex& spoilt = v[corner];
        if (field < 3) {
          spoilt.*fields[field] = value;
        } else {
          (field == 3 ? spoilt.color.r : field == 4 ? spoilt.color.g : spoilt.color.b) = value;
        }
        raster.DrawTriangle(v[0], v[1], v[2]);
        raster.DrawPoint(spoilt, 3);
        EXPECT_EQ(DrawnCount(raster), 0);
      }
    }
  }
}

TEST(Raster, PointOfNoSizeDrawsNothing) {
  Raster raster(TestView(), kBack);
  ClipVertex v = raster.Project({0, 0, -10});
  v.color = {1, 1, 1};
  raster.DrawPoint(v, 0);
  raster.DrawPoint(v, -3);
  EXPECT_EQ(DrawnCount(raster), 0);
}

// No pixels at all: nothing to draw into, and no buffer to write past.
TEST(Raster, PictureWithoutPixelsDrawsNothing) {
  for (const auto& [width, height] : {std::pair{0, 64}, std::pair{64, 0}, std::pair{-5, 64}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    View view = TestView();
    view.width = width;
    view.height = height;
    Raster raster(view, kBack);
    Draw(raster, {{-1e4f, -1e4f, -10}, {1e4f, -1e4f, -10}, {0, 1e4f, -10}});
    ClipVertex v = raster.Project({0, 0, -10});
    raster.DrawPoint(v, 3);
    EXPECT_EQ(raster.width(), 0);
    EXPECT_EQ(raster.height(), 0);
    EXPECT_TRUE(raster.pixels().empty());
  }
}

TEST(Raster, UnusableViewKeepsTheBackground) {
  for (const auto& c : kUnusableViews) {
    SCOPED_TRACE(c.name);
    View view = TestView();
    view.yfov = c.yfov;
    view.znear = c.znear;
    view.zfar = c.zfar;
    Raster raster(view, kBack);
    Draw(raster, {{-1e4f, -1e4f, -10}, {1e4f, -1e4f, -10}, {0, 1e4f, -10}});
    ASSERT_EQ(raster.pixels().size(), static_cast<size_t>(kSide * kSide * 3));
    for (size_t i = 0; i < raster.pixels().size(); ++i) ASSERT_EQ(raster.pixels()[i], 48) << i;
  }
}

}  // namespace
}  // namespace sceneio
