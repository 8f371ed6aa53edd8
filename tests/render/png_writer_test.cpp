// PNG encoding read back through the decoder: same size, same pixels, and malformed input refused.
#include <gtest/gtest.h>
#include <spng.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sceneio/picture.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

struct Decoded {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;
};

Decoded Decode(const std::vector<uint8_t>& png) {
  Decoded out;
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(0), &spng_ctx_free);
  EXPECT_EQ(spng_set_png_buffer(context.get(), png.data(), png.size()), 0);
  spng_ihdr header{};
  EXPECT_EQ(spng_get_ihdr(context.get(), &header), 0);
  EXPECT_EQ(header.color_type, SPNG_COLOR_TYPE_TRUECOLOR);
  EXPECT_EQ(header.bit_depth, 8);
  size_t size = 0;
  EXPECT_EQ(spng_decoded_image_size(context.get(), SPNG_FMT_RGB8, &size), 0);
  out.rgb.resize(size);
  EXPECT_EQ(spng_decode_image(context.get(), out.rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
  out.width = header.width;
  out.height = header.height;
  return out;
}

TEST(EncodePng, DecodesToTheSamePixels) {
  constexpr struct {
    const char* name;
    int32_t width, height;
  } kSizes[] = {{"one pixel", 1, 1}, {"wider than high", 37, 5}, {"higher than wide", 3, 41}};
  for (const auto& c : kSizes) {
    SCOPED_TRACE(c.name);
    Picture picture;
    picture.width = c.width;
    picture.height = c.height;
    for (int32_t i = 0; i < c.width * c.height * 3; ++i) {
      picture.rgb.push_back(static_cast<uint8_t>(i * 37 + i / 7));
    }
    std::vector<uint8_t> png;
    const Status encoded = EncodePng(picture, png);
    ASSERT_TRUE(encoded.ok()) << encoded.message;
    const Decoded decoded = Decode(png);
    EXPECT_EQ(decoded.width, static_cast<uint32_t>(c.width));
    EXPECT_EQ(decoded.height, static_cast<uint32_t>(c.height));
    EXPECT_EQ(decoded.rgb, picture.rgb);
  }
}

TEST(EncodePng, PixelsThatDoNotMatchTheSizeAreRefused) {
  Picture picture;
  picture.width = 4;
  picture.height = 4;
  picture.rgb.assign(4 * 4 * 3 - 1, 0);
  std::vector<uint8_t> png;
  const Status refused = EncodePng(picture, png);
  EXPECT_FALSE(refused.ok());
  EXPECT_FALSE(refused.message.empty());
  EXPECT_TRUE(png.empty());
}

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Picture Grey(int32_t width, int32_t height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(static_cast<size_t>(width) * height * 3, 128);
  return picture;
}

TEST(WritePngFile, ReplacesAnExistingFileWhole) {
  testing::TempDir dir;
  const auto path = dir.Write("out.png", "old bytes that are not a picture");
  const Status written = WritePngFile(Grey(16, 16), path.string());
  ASSERT_TRUE(written.ok()) << written.message;
  std::vector<uint8_t> expected;
  ASSERT_TRUE(EncodePng(Grey(16, 16), expected).ok());
  EXPECT_EQ(Contents(path), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 1);
}

// Nothing is left beside the output when the write fails, and what was there stays.
TEST(WritePngFile, FailureLeavesNothingBehind) {
  const struct {
    const char* name;
    bool existingDirectory;  // the output path is a directory: the rename fails
    bool badPicture;         // the encoding fails
    const char* path;
  } kCases[] = {
      {"no such directory", false, false, "missing/out.png"},
      {"a directory is in the way", true, false, "out.png"},
      {"the picture does not encode", false, true, "out.png"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    if (c.existingDirectory) std::filesystem::create_directory(dir.root() / c.path);
    Picture picture = Grey(16, 16);
    if (c.badPicture) picture.rgb.pop_back();
    const Status failed = WritePngFile(picture, (dir.root() / c.path).string());
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.message.empty());
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.root()), {});
    EXPECT_EQ(entries, c.existingDirectory ? 1 : 0);
  }
}

}  // namespace
}  // namespace sceneio
