// scene-convert writing a PNG: --size, the camera file's say over the picture, the framed view
// without a camera, the same bytes for the same input, and failures that leave nothing behind.
#include <gtest/gtest.h>
#include <spng.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "render/render.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::RunProgram;
using testing::TempDir;
using testing::WriteSampleCopy;

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// scene-convert in `dir` with `arguments`; standard error comes with standard output.
testing::ProgramResult Convert(const TempDir& dir, const std::string& arguments) {
  return RunProgram(SCENE_CONVERT_PATH, dir.root().string(), arguments + " 2>&1");
}

struct Decoded {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;
};

bool Decode(const std::string& png, Decoded& out) {
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(0), &spng_ctx_free);
  spng_ihdr header{};
  size_t size = 0;
  if (spng_set_png_buffer(context.get(), png.data(), png.size()) != 0 ||
      spng_get_ihdr(context.get(), &header) != 0 ||
      spng_decoded_image_size(context.get(), SPNG_FMT_RGB8, &size) != 0) {
    return false;
  }
  out.rgb.resize(size);
  out.width = header.width;
  out.height = header.height;
  return spng_decode_image(context.get(), out.rgb.data(), size, SPNG_FMT_RGB8, 0) == 0;
}

double DrawnShare(const Decoded& picture) {
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

constexpr struct {
  const char* name;
  const char* size;  // the --size argument, or null for none
  int status;
  uint32_t width, height;
} kSizeCases[] = {
    {"the default", nullptr, 0, 800, 600},
    {"smallest sides", "16x16", 0, 16, 16},
    {"widest", "8192x16", 0, 8192, 16},
    {"tallest", "16x8192", 0, 16, 8192},
    {"width one below the least", "15x600", 2, 0, 0},
    {"height one above the most", "800x8193", 2, 0, 0},
    {"width one above the most", "8193x600", 2, 0, 0},
    {"no height", "800x", 2, 0, 0},
    {"not a size", "large", 2, 0, 0},
    {"a negative side", "-800x600", 2, 0, 0},
};

TEST(SceneConvertPicture, SizeOption) {
  for (const auto& c : kSizeCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteSampleCopy(dir);
    const std::string size = c.size ? std::string("--size=") + c.size + " " : "";
    const auto run = Convert(dir, size + "dork/dork.grp out.png");
    EXPECT_EQ(run.status, c.status) << run.out;
    const auto out = dir.root() / "out.png";
    if (c.status != 0) {
      EXPECT_NE(run.out.find("--size"), std::string::npos) << run.out;
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    Decoded picture;
    ASSERT_TRUE(Decode(Contents(out), picture));
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
  }
}

TEST(SceneConvertPicture, SameInputSameBytes) {
  TempDir dir;
  WriteSampleCopy(dir);
  ASSERT_EQ(Convert(dir, "--size 320x240 dork/dork.grp first.png").status, 0);
  ASSERT_EQ(Convert(dir, "--size 320x240 dork\\\\dork.grp second.png").status, 0);
  const std::string first = Contents(dir.root() / "first.png");
  EXPECT_GT(first.size(), 100u);
  EXPECT_EQ(first, Contents(dir.root() / "second.png"));
}

TEST(SceneConvertPicture, TheCameraFileDecidesTheView) {
  TempDir dir;
  WriteSampleCopy(dir);
  ASSERT_EQ(Convert(dir, "--size 320x240 dork/dork.grp sample.png").status, 0);
  dir.Write("dork/s.cam", CameraFile("-6 2 3"));
  const auto run = Convert(dir, "--size 320x240 dork/dork.grp moved.png");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("no usable camera"), std::string::npos) << run.out;
  Decoded sample, moved;
  ASSERT_TRUE(Decode(Contents(dir.root() / "sample.png"), sample));
  ASSERT_TRUE(Decode(Contents(dir.root() / "moved.png"), moved));
  EXPECT_NE(sample.rgb, moved.rgb);
  EXPECT_GT(DrawnShare(moved), 0.05);
}

// No keyword at all leaves a view angle of 0: no camera can be made of that.
TEST(SceneConvertPicture, WithoutAUsableCameraTheGeometryIsFramed) {
  for (const char* camera :
       {"camera \"empty\" )\n(\n)\n", "camera \"main\" )\n(\n view-angle 0\n)\n"}) {
    SCOPED_TRACE(camera);
    TempDir dir;
    WriteSampleCopy(dir);
    dir.Write("dork/s.cam", camera);
    const auto run = Convert(dir, "--size 320x240 dork/dork.grp framed.png");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("scene-convert: note: no usable camera: the view frames the bounding "
                           "box of all geometry"),
              std::string::npos)
        << run.out;
    Decoded picture;
    ASSERT_TRUE(Decode(Contents(dir.root() / "framed.png"), picture));
    EXPECT_GT(DrawnShare(picture), 0.1);
  }
}

constexpr struct {
  const char* name;
  const char* from;  // replaced in the sample's object file by `to`
  const char* to;
  const char* arguments;
  int status;
  const char* message;
} kFailureCases[] = {
    {"a position index out of range", "tri ( 0, 3, 2)", "tri ( 0, 3, 9)", "", 1,
     "body \"cube\", face 0: position index 9 is outside the 8 vertices"},
    {"a normal index out of range", "( 0, 0, 0) uv ( 0, 1, 2)", "( 0, 7, 0) uv ( 0, 1, 2)", "", 1,
     "normal index 7 is outside the 6 normals"},
    {"1-based indices reach one past the end", "", "", "--index-base 1", 1, "is outside the"},
    {"a vertex that is not finite", "v 1 -1 -1,", "v 1e39 -1 -1,", "", 1, "is not finite"},
    {"an unknown body for --material", "", "", "--material nobody=brick", 2, "nobody"},
    {"faces without a position", "", "", "--faces normal,uv,none", 2, "position"},
};

TEST(SceneConvertPicture, FailuresLeaveTheOutputAsItWas) {
  for (const auto& c : kFailureCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteSampleCopy(dir);
    if (*c.from) {
      std::string objects = Contents(dir.root() / "dork/s.gof");
      const size_t at = objects.find(c.from);
      ASSERT_NE(at, std::string::npos);
      objects.replace(at, std::string(c.from).size(), c.to);
      dir.Write("dork/s.gof", objects);
    }
    dir.Write("out.png", "an older picture");
    const auto run = Convert(dir, std::string(c.arguments) + " dork/dork.grp out.png");
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    EXPECT_EQ(Contents(dir.root() / "out.png"), "an older picture");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 2);
  }
}

}  // namespace
}  // namespace sceneio
