// The sample scene loaded, prepared as the glTF export prepares it, and drawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/render.h"
#include "sceneio/export.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;
using testing::WriteSampleCopy;

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 120;

struct Drawing {
  Picture picture;
  std::vector<std::string> notes;
};

Drawing DrawScene(const std::string& group) {
  Drawing out;
  Scene scene;
  EXPECT_EQ(scene.Load(group.c_str()), 0);
  ExportScene prepared;
  const Status result = PrepareExport(scene, ExportOptions{}, prepared);
  EXPECT_TRUE(result.ok()) << result.message;
  const Status drawn = RenderScene(prepared, kWidth, kHeight, out.picture);
  EXPECT_TRUE(drawn.ok()) << drawn.message;
  out.notes = drawn.notes;
  return out;
}

double DrawnShare(const Picture& picture) {
  int64_t drawn = 0;
  for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    drawn += picture.rgb[i] != kBackground[0] || picture.rgb[i + 1] != kBackground[1] ||
             picture.rgb[i + 2] != kBackground[2];
  }
  return static_cast<double>(drawn) / (static_cast<double>(picture.width) * picture.height);
}

std::string CameraFile(const char* location, const char* viewAngle = "45") {
  return std::string("camera \"main\" )\n(\n  view-angle ") + viewAngle +
         "\n  hither 0.1\n  yon 1000\n  location " + location +
         "\n  aim 0 0.5 0\n  lookup-vector 0 1 0\n)\n";
}

TEST(RenderSample, ItsCameraSeesBothBodies) {
  const Drawing drawing = DrawScene(testing::SampleGroupPath());
  EXPECT_TRUE(drawing.notes.empty());
  EXPECT_GT(DrawnShare(drawing.picture), 0.05);
  EXPECT_LT(DrawnShare(drawing.picture), 0.8);
}

TEST(RenderSample, MovingTheCameraInItsFileChangesThePicture) {
  TempDir dir;
  WriteSampleCopy(dir);
  const Drawing original = DrawScene(dir.GroupPath());
  dir.Write("dork/s.cam", CameraFile("4 3 6"));
  EXPECT_EQ(DrawScene(dir.GroupPath()).picture.rgb, original.picture.rgb);
  dir.Write("dork/s.cam", CameraFile("-6 2 3"));
  const Drawing moved = DrawScene(dir.GroupPath());
  EXPECT_NE(moved.picture.rgb, original.picture.rgb);
  EXPECT_GT(DrawnShare(moved.picture), 0.05);
}

// A view angle of 0 cannot make a camera: the export leaves it out, and the picture frames the
// geometry instead.
TEST(RenderSample, UnusableCameraGivesAFramedPictureAndANote) {
  TempDir dir;
  WriteSampleCopy(dir);
  dir.Write("dork/s.cam", CameraFile("4 3 6", "0"));
  const Drawing drawing = DrawScene(dir.GroupPath());
  ASSERT_EQ(drawing.notes.size(), 1u);
  EXPECT_EQ(drawing.notes[0].rfind("no usable camera: ", 0), 0u) << drawing.notes[0];
  EXPECT_GT(DrawnShare(drawing.picture), 0.1);
}

}  // namespace
}  // namespace sceneio
