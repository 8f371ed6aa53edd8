// 8-bit truecolour PNG with no time stamp or text chunk, so the bytes depend on the pixels only.
#include <spng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "sceneio/picture.h"

namespace sceneio {
namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

bool Failed(int code, const char* step, std::string& error) {
  if (code == 0) return false;
  error = std::string("PNG encoding failed at ") + step + ": " + spng_strerror(code);
  return true;
}

}  // namespace

bool EncodePng(const Picture& picture, std::vector<uint8_t>& png, std::string& error) {
  const size_t expected =
      static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3;
  if (picture.width <= 0 || picture.height <= 0 || picture.rgb.size() != expected) {
    error = "PNG encoding failed: the picture's size does not match its pixels";
    return false;
  }
  std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) {
    error = "PNG encoding failed: out of memory";
    return false;
  }
  spng_ihdr header{};
  header.width = static_cast<uint32_t>(picture.width);
  header.height = static_cast<uint32_t>(picture.height);
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  if (Failed(spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1), "buffer", error) ||
      Failed(spng_set_ihdr(context.get(), &header), "header", error) ||
      Failed(spng_encode_image(context.get(), picture.rgb.data(), picture.rgb.size(), SPNG_FMT_PNG,
                               SPNG_ENCODE_FINALIZE),
             "image", error)) {
    return false;
  }
  size_t length = 0;
  int code = 0;
  // The buffer is ours to free once taken.
  std::unique_ptr<void, decltype(&std::free)> bytes(
      spng_get_png_buffer(context.get(), &length, &code), &std::free);
  if (Failed(code, "output", error)) return false;
  if (!bytes) {
    error = "PNG encoding failed: no output";
    return false;
  }
  const auto* begin = static_cast<const uint8_t*>(bytes.get());
  png.assign(begin, begin + length);
  return true;
}

bool WritePngFile(const Picture& picture, const std::string& path, std::string& error) {
  std::vector<uint8_t> png;
  if (!EncodePng(picture, png, error)) return false;
  // In the same directory, so the rename cannot cross file systems.
  std::string temporary = path + ".XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t written = 0;
  int savedErrno = 0;
  while (written < png.size()) {
    const ssize_t step = write(descriptor, png.data() + written, png.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) {
      // A write that puts nothing sets no errno: what errno holds then is some earlier error.
      savedErrno = step < 0 ? errno : EIO;
      break;
    }
    written += static_cast<size_t>(step);
  }
  const bool closed = close(descriptor) == 0;
  if (savedErrno != 0 || !closed) {
    error = "cannot write " + path + ": " + std::strerror(savedErrno != 0 ? savedErrno : errno);
    unlink(temporary.c_str());
    return false;
  }
  // mkstemp makes the file private; a picture is as readable as any file the user writes.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temporary.c_str(), 0666 & ~mask);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

ExportResult WritePicture(const Scene& scene, const ExportOptions& options, int32_t width,
                          int32_t height, const std::string& path) {
  ExportResult result;
  try {
    ExportScene model;
    if (!PrepareExport(scene, options, model, result)) return result;
    Picture picture;
    std::string error;
    if (!RenderScene(model, width, height, picture, result.notes, error) ||
        !WritePngFile(picture, path, error)) {
      result.status = ExportStatus::kWriteFailed;
      result.error = error;
    }
  } catch (const std::bad_alloc&) {
    result.status = ExportStatus::kWriteFailed;
    result.error = "out of memory";
  }
  return result;
}

}  // namespace sceneio
