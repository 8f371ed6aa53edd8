// PNG through libspng, JPEG through TurboJPEG; mipmaps averaged in linear light and stored as
// sRGB bytes again, as a GPU keeps the levels of an sRGB texture.
#include "render/texture.h"

#include <spng.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace sceneio {
namespace {

// Larger images are refused rather than decoded into gigabytes.
constexpr uint32_t kMaxTextureSide = 16384;

const std::array<float, 256>& DecodeTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    error = "cannot be opened";
    return false;
  }
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file.get())) {
    error = "could not be read";
    return false;
  }
  return true;
}

bool DecodePng(const std::vector<uint8_t>& bytes, Texture& texture, std::string& error) {
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(0), &spng_ctx_free);
  // Without a decoder the picture is still drawn, only without this texture.
  if (!context) {
    error = "could not be decoded (no memory for a PNG decoder)";
    return false;
  }
  spng_ihdr header{};
  size_t size = 0;
  int code = spng_set_png_buffer(context.get(), bytes.data(), bytes.size());
  if (code == 0) code = spng_set_image_limits(context.get(), kMaxTextureSide, kMaxTextureSide);
  if (code == 0) code = spng_get_ihdr(context.get(), &header);
  if (code == 0) code = spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size);
  std::vector<uint8_t> rgba;
  if (code == 0) {
    rgba.resize(size);
    code = spng_decode_image(context.get(), rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
  }
  if (code != 0) {
    error = std::string("is not a PNG this program can decode (") + spng_strerror(code) + ")";
    return false;
  }
  SetTextureImage(texture, static_cast<int32_t>(header.width), static_cast<int32_t>(header.height),
                  std::move(rgba));
  return true;
}

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Texture& texture, std::string& error) {
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), &tjDestroy);
  if (!handle) {
    error = "could not be decoded (no memory for a JPEG decoder)";
    return false;
  }
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  const auto size = static_cast<unsigned long>(bytes.size());
  if (tjDecompressHeader3(handle.get(), bytes.data(), size, &width, &height, &subsampling,
                          &colorspace) != 0 ||
      width <= 0 || height <= 0 || static_cast<uint32_t>(width) > kMaxTextureSide ||
      static_cast<uint32_t>(height) > kMaxTextureSide) {
    error =
        std::string("is not a JPEG this program can decode (") + tjGetErrorStr2(handle.get()) + ")";
    return false;
  }
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  // The default (accurate) DCT and smooth chroma upsampling, as browsers decode.
  if (tjDecompress2(handle.get(), bytes.data(), size, rgba.data(), width, 0, height, TJPF_RGBA,
                    0) != 0 &&
      tjGetErrorCode(handle.get()) == TJERR_FATAL) {
    error =
        std::string("is not a JPEG this program can decode (") + tjGetErrorStr2(handle.get()) + ")";
    return false;
  }
  SetTextureImage(texture, width, height, std::move(rgba));
  return true;
}

// The next level: each texel the linear mean of the (up to) 2 x 2 it covers.
TextureLevel HalfOf(const TextureLevel& from) {
  const std::array<float, 256>& decode = DecodeTable();
  TextureLevel to;
  to.width = std::max(1, from.width / 2);
  to.height = std::max(1, from.height / 2);
  to.rgba.resize(static_cast<size_t>(to.width) * static_cast<size_t>(to.height) * 4);
  for (int32_t y = 0; y < to.height; ++y) {
    const int32_t rows[2] = {std::min(2 * y, from.height - 1),
                             std::min(2 * y + 1, from.height - 1)};
    for (int32_t x = 0; x < to.width; ++x) {
      const int32_t columns[2] = {std::min(2 * x, from.width - 1),
                                  std::min(2 * x + 1, from.width - 1)};
      float sum[4] = {0, 0, 0, 0};
      for (const int32_t row : rows) {
        for (const int32_t column : columns) {
          const uint8_t* texel =
              &from.rgba[(static_cast<size_t>(row) * static_cast<size_t>(from.width) +
                          static_cast<size_t>(column)) *
                         4];
          for (int k = 0; k < 3; ++k) sum[k] += decode[texel[k]];
          sum[3] += texel[3];
        }
      }
      uint8_t* out = &to.rgba[(static_cast<size_t>(y) * static_cast<size_t>(to.width) +
                               static_cast<size_t>(x)) *
                              4];
      for (int k = 0; k < 3; ++k) out[k] = LinearToSrgbByte(sum[k] * 0.25f);
      out[3] = static_cast<uint8_t>(std::lround(sum[3] * 0.25f));
    }
  }
  return to;
}

// Texel (x, y) of `level` with both coordinates wrapped round (repeat), in linear light.
void FetchLinear(const TextureLevel& level, int64_t x, int64_t y, float* out) {
  const int64_t wx = ((x % level.width) + level.width) % level.width;
  const int64_t wy = ((y % level.height) + level.height) % level.height;
  const uint8_t* texel = &level.rgba[static_cast<size_t>(wy * level.width + wx) * 4];
  const std::array<float, 256>& decode = DecodeTable();
  out[0] = decode[texel[0]];
  out[1] = decode[texel[1]];
  out[2] = decode[texel[2]];
  out[3] = texel[3] * (1.0f / 255);
}

std::array<float, 4> Bilinear(const TextureLevel& level, float u, float v) {
  // Wrapped first, so the texel index stays small whatever the uv.
  const double x = (u - std::floor(u)) * level.width - 0.5;
  const double y = (v - std::floor(v)) * level.height - 0.5;
  const double x0 = std::floor(x);
  const double y0 = std::floor(y);
  const float fx = static_cast<float>(x - x0);
  const float fy = static_cast<float>(y - y0);
  const auto ix = static_cast<int64_t>(x0);
  const auto iy = static_cast<int64_t>(y0);
  float t00[4], t10[4], t01[4], t11[4];
  FetchLinear(level, ix, iy, t00);
  FetchLinear(level, ix + 1, iy, t10);
  FetchLinear(level, ix, iy + 1, t01);
  FetchLinear(level, ix + 1, iy + 1, t11);
  std::array<float, 4> out{};
  for (int k = 0; k < 4; ++k) {
    const float top = t00[k] + (t10[k] - t00[k]) * fx;
    const float bottom = t01[k] + (t11[k] - t01[k]) * fx;
    out[k] = top + (bottom - top) * fy;
  }
  return out;
}

}  // namespace

float SrgbByteToLinear(uint8_t value) {
  return DecodeTable()[value];
}

float LinearToSrgb(float linear) {
  if (!(linear > 0)) return 0;
  if (linear <= 0.0031308f) return linear * 12.92f;
  return std::min(1.0f, 1.055f * std::pow(linear, 0.41666f) - 0.055f);
}

uint8_t LinearToSrgbByte(float linear) {
  return static_cast<uint8_t>(std::lround(LinearToSrgb(linear) * 255.0f));
}

void SetTextureImage(Texture& texture, int32_t width, int32_t height, std::vector<uint8_t> rgba) {
  texture.levels.clear();
  texture.levels.push_back({width, height, std::move(rgba)});
  while (texture.levels.back().width > 1 || texture.levels.back().height > 1) {
    TextureLevel next = HalfOf(texture.levels.back());
    texture.levels.push_back(std::move(next));
  }
}

bool LoadTexture(const std::string& path, const std::string& mime, Texture& texture,
                 std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  if (mime == "image/png") return DecodePng(bytes, texture, error);
  if (mime == "image/jpeg") return DecodeJpeg(bytes, texture, error);
  error = "is neither a PNG nor a JPEG image";
  return false;
}

std::array<float, 4> SampleTexture(const Texture& texture, float u, float v, float dudx, float dvdx,
                                   float dudy, float dvdy) {
  if (texture.empty() || !std::isfinite(u) || !std::isfinite(v)) return {1, 1, 1, 1};
  const TextureLevel& base = texture.levels.front();
  const double ax = double(dudx) * base.width, ay = double(dvdx) * base.height;
  const double bx = double(dudy) * base.width, by = double(dvdy) * base.height;
  const double rho = std::sqrt(std::max(ax * ax + ay * ay, bx * bx + by * by));
  const double lod = rho > 0 ? std::log2(rho) : -1;
  // Magnified (or derivatives that are not finite): the image itself, bilinear.
  if (!(lod > 0)) return Bilinear(base, u, v);
  const double last = static_cast<double>(texture.levels.size() - 1);
  const double clamped = std::min(lod, last);
  const auto lower = static_cast<size_t>(clamped);
  const float blend = static_cast<float>(clamped - static_cast<double>(lower));
  const std::array<float, 4> a = Bilinear(texture.levels[lower], u, v);
  if (blend == 0 || lower + 1 >= texture.levels.size()) return a;
  const std::array<float, 4> b = Bilinear(texture.levels[lower + 1], u, v);
  std::array<float, 4> out{};
  for (int k = 0; k < 4; ++k) out[k] = a[k] + (b[k] - a[k]) * blend;
  return out;
}

}  // namespace sceneio
