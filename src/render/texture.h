// A material's base colour texture as a browser's WebGL samples it for a glTF viewer: decoded
// from PNG or JPEG, kept as 8-bit sRGB colour with linear alpha in a chain of mipmaps, filtered
// trilinearly in linear light, repeating across the uv plane.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sceneio {

struct TextureLevel {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;  // rows from the top of the image, four bytes a texel
};

// Level 0 is the image; each further level halves both sides (not below 1) down to 1 x 1.
struct Texture {
  std::vector<TextureLevel> levels;
  bool empty() const { return levels.empty(); }
};

// Reads the PNG or JPEG (`mime` "image/png" or "image/jpeg") at `path` into level 0 and builds
// the mipmaps. false, with `error` (one line), when the file cannot be read or decoded.
bool LoadTexture(const std::string& path, const std::string& mime, Texture& texture,
                 std::string& error);

// Level 0 from 8-bit RGBA pixels, and the mipmaps from it.
void SetTextureImage(Texture& texture, int32_t width, int32_t height, std::vector<uint8_t> rgba);

// The texture's linear colour and alpha at (u, v), v = 0 being the image's top row as glTF has
// it, for a pixel across which u and v change by (dudx, dvdx) one pixel right and (dudy, dvdy)
// one pixel down: bilinear when magnified, else between the two nearest mipmap levels.
std::array<float, 4> SampleTexture(const Texture& texture, float u, float v, float dudx, float dvdx,
                                   float dudy, float dvdy);

// sRGB byte -> linear value, and linear [0, 1] -> the nearest sRGB byte, as the GPU converts.
float SrgbByteToLinear(uint8_t value);
uint8_t LinearToSrgbByte(float linear);
// The sRGB encoding of a linear value, unrounded (a fragment's output before it is stored).
float LinearToSrgb(float linear);

}  // namespace sceneio
