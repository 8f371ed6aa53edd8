// Textures as the picture samples them: decoded PNG and JPEG files, which row v = 0 is, repeat
// wrapping, colours decoded from sRGB before they are filtered, and the mipmap a footprint picks.
#include "render/texture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sceneio/picture.h"
#include "support/buffer_of.h"
#include "support/jpeg_of.h"

namespace sceneio {
namespace {

// Two rows of two texels: red, green over blue, white.
std::vector<uint8_t> Quad() {
  return {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
}

// A texel's footprint far below one texel: the image itself, bilinear.
std::array<float, 4> Magnified(const Texture& texture, float u, float v) {
  return SampleTexture(texture, u, v, 1e-4f, 0, 0, 1e-4f);
}

TEST(Texture, RowsFromTheTopAndRepeatWrapping) {
  Texture texture;
  SetTextureImage(texture, 2, 2, Quad());
  const struct {
    float u, v;
    std::array<float, 4> expected;
  } kCases[] = {
      {0.25f, 0.25f, {1, 0, 0, 1}},       // v = 0 is the first (top) row
      {0.75f, 0.25f, {0, 1, 0, 1}},       //
      {0.25f, 0.75f, {0, 0, 1, 1}},       //
      {1.25f, 0.25f, {1, 0, 0, 1}},       // one whole repeat to the right
      {-0.25f, 2.75f, {1, 1, 1, 1}},      // to the left and below
      {0.5f, 0.25f, {0.5f, 0.5f, 0, 1}},  // half-way between two texel centres
      {0, 0.25f, {0.5f, 0.5f, 0, 1}},     // on the edge, the texel across it shares
  };
  for (const auto& c : kCases) {
    const std::array<float, 4> got = Magnified(texture, c.u, c.v);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(got[k], c.expected[k], 1e-5) << c.u << " " << c.v;
  }
}

// Colour bytes are sRGB: a filter that mixed bytes rather than light would give 0.5 (byte 128
// decoded: 0.216) between black and white.
TEST(Texture, ColoursAreFilteredAsLinearLight) {
  Texture texture;
  SetTextureImage(texture, 2, 1, {0, 0, 0, 0, 255, 255, 255, 255});
  const std::array<float, 4> middle = Magnified(texture, 0.5f, 0.5f);
  EXPECT_NEAR(middle[0], 0.5f, 1e-5);
  EXPECT_NEAR(middle[3], 0.5f, 1e-5);  // alpha is linear already
  EXPECT_NEAR(SrgbByteToLinear(128), 0.2158605f, 1e-6);
  EXPECT_EQ(LinearToSrgbByte(0.5f), 188);
  // The half-size level of a black and white checker is mid grey in light, so 188 as a byte.
  std::vector<uint8_t> checker;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t v = (x + y) % 2 ? 255 : 0;
      checker.insert(checker.end(), {v, v, v, 255});
    }
  }
  SetTextureImage(texture, 8, 8, checker);
  ASSERT_EQ(texture.levels.size(), 4u);
  EXPECT_EQ(texture.levels[1].width, 4);
  EXPECT_EQ(texture.levels[1].rgba[0], 188);
  EXPECT_EQ(texture.levels[3].rgba[0], 188);
}

// The level follows the larger of the two footprints: one texel per pixel is the image, eight
// the 1 x 1 level, four half-way between the two smallest.
TEST(Texture, FootprintChoosesTheMipmap) {
  std::vector<uint8_t> stripes;  // 8 x 8: columns alternately black and white
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t v = x % 2 ? 255 : 0;
      stripes.insert(stripes.end(), {v, v, v, 255});
    }
  }
  Texture texture;
  SetTextureImage(texture, 8, 8, stripes);
  const float texel = 1.0f / 8;
  const float centre = 0.5f * texel;  // of the first, black, column
  EXPECT_NEAR(SampleTexture(texture, centre, centre, texel, 0, 0, texel)[0], 0, 1e-5);
  EXPECT_NEAR(SampleTexture(texture, centre, centre, 8 * texel, 0, 0, texel)[0], 0.5f, 5e-3);
  EXPECT_NEAR(SampleTexture(texture, centre, centre, 0, texel, 0, 8 * texel)[0], 0.5f, 5e-3);
  // Half-way between level 1 (columns of grey) and level 2, both grey: still grey, not black.
  EXPECT_NEAR(SampleTexture(texture, centre, centre, 2.8f * texel, 0, 0, texel)[0], 0.5f, 5e-3);
}

TEST(Texture, LoadsPngAndJpegFilesAndRefusesOthers) {
  testing::TempDir dir;
  Picture picture;
  picture.width = 16;
  picture.height = 16;
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      picture.rgb.insert(picture.rgb.end(),
                         {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16), 200});
    }
  }
  std::vector<uint8_t> png;
  const Status encoded = EncodePng(picture, png);
  ASSERT_TRUE(encoded.ok()) << encoded.message;
  std::string error;
  dir.Write("a.png", std::string(png.begin(), png.end()));
  const std::string jpeg = testing::JpegOf(picture.rgb, 16, 16);
  ASSERT_FALSE(jpeg.empty());
  dir.Write("a.jpg", jpeg);
  dir.Write("short.png", std::string(reinterpret_cast<const char*>(png.data()), 20));

  const struct {
    const char* file;
    const char* mime;
    int tolerance;  // JPEG is lossy even at its best quality
  } kLoaded[] = {{"a.png", "image/png", 0}, {"a.jpg", "image/jpeg", 4}};
  for (const auto& c : kLoaded) {
    SCOPED_TRACE(c.file);
    Texture texture;
    ASSERT_TRUE(LoadTexture((dir.root() / c.file).string(), c.mime, texture, error)) << error;
    ASSERT_EQ(texture.levels[0].width, 16);
    ASSERT_EQ(texture.levels[0].height, 16);
    EXPECT_EQ(texture.levels.size(), 5u);
    for (size_t i = 0; i < 16 * 16; ++i) {
      for (size_t k = 0; k < 3; ++k) {
        ASSERT_NEAR(texture.levels[0].rgba[i * 4 + k], picture.rgb[i * 3 + k], c.tolerance) << i;
      }
      ASSERT_EQ(texture.levels[0].rgba[i * 4 + 3], 255);
    }
  }
  const struct {
    const char* file;
    const char* mime;
  } kRefused[] = {{"short.png", "image/png"},
                  {"a.png", "image/jpeg"},
                  {"a.jpg", "image/png"},
                  {"missing.png", "image/png"}};
  for (const auto& c : kRefused) {
    Texture texture;
    error.clear();
    EXPECT_FALSE(LoadTexture((dir.root() / c.file).string(), c.mime, texture, error)) << c.file;
    EXPECT_FALSE(error.empty()) << c.file;
  }
}

}  // namespace
}  // namespace sceneio
