// 8-bit truecolour PNG with no time stamp or text chunk, so the bytes depend on the pixels only.
#include <spng.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "io/output_files.h"
#include "sceneio/picture.h"

namespace sceneio {
namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

bool Failed(int code, const char* step, Status& status) {
  if (code == 0) return false;
  status.Fail(StatusCode::kWriteFailed,
              std::string("PNG encoding failed at ") + step + ": " + spng_strerror(code));
  return true;
}

}  // namespace

Status EncodePng(const Picture& picture, std::vector<uint8_t>& png) {
  Status status;
  const size_t expected =
      static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3;
  if (picture.width <= 0 || picture.height <= 0 || picture.rgb.size() != expected) {
    return status.Fail(StatusCode::kWriteFailed,
                       "PNG encoding failed: the picture's size does not match its pixels");
  }
  std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) return status.Fail(StatusCode::kWriteFailed, "PNG encoding failed: out of memory");
  spng_ihdr header{};
  header.width = static_cast<uint32_t>(picture.width);
  header.height = static_cast<uint32_t>(picture.height);
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  if (Failed(spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1), "buffer", status) ||
      Failed(spng_set_ihdr(context.get(), &header), "header", status) ||
      Failed(spng_encode_image(context.get(), picture.rgb.data(), picture.rgb.size(), SPNG_FMT_PNG,
                               SPNG_ENCODE_FINALIZE),
             "image", status)) {
    return status;
  }
  size_t length = 0;
  int code = 0;
  // The buffer is ours to free once taken.
  std::unique_ptr<void, decltype(&std::free)> bytes(
      spng_get_png_buffer(context.get(), &length, &code), &std::free);
  if (Failed(code, "output", status)) return status;
  if (!bytes) return status.Fail(StatusCode::kWriteFailed, "PNG encoding failed: no output");
  const auto* begin = static_cast<const uint8_t*>(bytes.get());
  try {
    png.assign(begin, begin + length);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory");
  }
  return status;
}

namespace {

// The picture is one file: whatever step failed, it is "cannot write PATH".
Status WriteEncoded(const std::vector<uint8_t>& png, const std::string& path) {
  Status status;
  OutputFiles files;
  if (!files.Begin(path) || !files.Write(png.data(), png.size()) || !files.End() ||
      !files.Commit()) {
    status.Fail(StatusCode::kWriteFailed,
                "cannot write " + path + ": " + std::strerror(files.failure().error));
  }
  return status;
}

}  // namespace

Status WritePngFile(const Picture& picture, const std::string& path) {
  Status status;
  try {
    std::vector<uint8_t> png;
    status = EncodePng(picture, png);
    if (status.ok()) status = WriteEncoded(png, path);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory");
  }
  return status;
}

Status WritePicture(const Scene& scene, const ExportOptions& options, int32_t width, int32_t height,
                    const std::string& path) {
  Status result;
  try {
    ExportScene model;
    result = PrepareExport(scene, options, model);
    if (!result.ok()) return result;
    Picture picture;
    Status drawn = RenderScene(model, width, height, picture);
    result.notes.insert(result.notes.end(), drawn.notes.begin(), drawn.notes.end());
    if (drawn.ok()) drawn = WritePngFile(picture, path);
    if (!drawn.ok()) result.Fail(drawn.code, drawn.message);
  } catch (const std::bad_alloc&) {
    result.Fail(StatusCode::kOutOfMemory, "out of memory");
  }
  return result;
}

}  // namespace sceneio
