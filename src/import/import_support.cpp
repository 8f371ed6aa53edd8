// Names, the input's folder, image headers and the hand-over of bodies, for both importers.
#include "import/import_support.h"

#include <fcntl.h>
#include <spng.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "io/large_block.h"

namespace sceneio::import {
namespace {

constexpr size_t kManyBodies = 100;  // readers of the format may stop counting here

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// Bytes that would split or end a quoted name token, or that no reader shows.
bool Unsafe(unsigned char c) {
  return c <= ' ' || c == 0x7f || c == '"';
}

}  // namespace

std::string Shown(std::string_view raw) {
  std::string out = "\"";
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out + "\"";
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string Namer::Unique(std::string name) {
  if (used_.insert(name).second) return name;
  for (size_t n = 2;; ++n) {
    std::string candidate = name + "_" + std::to_string(n);
    if (used_.insert(candidate).second) return candidate;
  }
}

std::string Namer::Take(std::string_view raw, std::string_view fallback, std::string_view kind,
                        Status& status) {
  std::string name(raw.empty() ? fallback : raw);
  for (char& c : name) {
    if (Unsafe(static_cast<unsigned char>(c))) c = '_';
  }
  // Quoted it is never the keyword; left bare by some later tool, it must not become one.
  if (name == "GL_Shade") name += "_";
  std::string unique = Unique(std::move(name));
  if (!raw.empty() && unique != raw) {
    status.warnings.push_back(std::string(kind) + " " + Shown(raw) + " is named " + Shown(unique) +
                              " (names are single tokens, unique, in double quotes)");
  }
  return unique;
}

std::string Namer::TakeFileName(std::string_view raw, std::string_view fallback,
                                std::string_view extension, Status& status) {
  // The part after the last separator: a name never chooses a folder.
  const size_t slash = raw.find_last_of("/\\");
  std::string_view base = slash == std::string_view::npos ? raw : raw.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot != std::string_view::npos) base = base.substr(0, dot);
  std::string name(base.empty() ? fallback : base);
  for (char& c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    if (!keep) c = '_';
  }
  if (name.front() == '.') name.front() = '_';
  std::string stem = name;
  std::string unique = name + std::string(extension);
  for (size_t n = 2; !used_.insert(unique).second; ++n) {
    unique = stem + "_" + std::to_string(n) + std::string(extension);
  }
  // Only a changed name is news; an ending added to a bare name is not.
  if (!raw.empty() && unique != raw && unique != std::string(raw) + std::string(extension)) {
    status.notes.push_back("image " + Shown(raw) + " is written as " + Shown(unique));
  }
  return unique;
}

InputFolder::InputFolder(const std::string& folder) {
  if (folder.empty()) return;
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real == nullptr) return;
  real_ = real;
  std::free(real);
  if (real_.back() != '/') real_ += '/';
}

ReadResult InputFolder::Read(std::string_view name, std::vector<unsigned char>& bytes,
                             std::string& why) const {
  if (name.empty()) {
    why = "names no file";
    return ReadResult::kRefused;
  }
  if (name.find('\0') != std::string_view::npos) {
    why = "holds a zero byte";
    return ReadResult::kRefused;
  }
  if (IsSeparator(name.front()) ||
      (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))) {
    why = "is an absolute path: only files in the input's folder are read";
    return ReadResult::kRefused;
  }
  std::string relative(name);
  size_t start = 0;
  for (size_t i = 0; i <= relative.size(); ++i) {
    if (i < relative.size() && !IsSeparator(relative[i])) continue;
    if (relative.compare(start, i - start, "..") == 0 && i - start == 2) {
      why = "holds \"..\": only files in the input's folder are read";
      return ReadResult::kRefused;
    }
    if (i < relative.size()) relative[i] = '/';
    start = i + 1;
  }
  if (real_.empty()) {
    why = "is a file, and this input has no folder to read it from";
    return ReadResult::kRefused;
  }
  const std::string candidate = real_ + relative;
  char* resolved = ::realpath(candidate.c_str(), nullptr);
  if (resolved == nullptr) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    return ReadResult::kUnreadable;
  }
  const std::string real = resolved;
  std::free(resolved);
  if (real.compare(0, real_.size(), real_) != 0) {
    why = "is a link leading out of the input's folder";
    return ReadResult::kRefused;
  }
  return ReadWholeFile(real, bytes, why) ? ReadResult::kRead : ReadResult::kUnreadable;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int OpenRegularFile(const std::string& path, std::string& why, size_t* size) {
  // Non-blocking, so that a FIFO planted where a file is expected cannot stall the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    why = "is not a regular file";
    ::close(fd);
    return -1;
  }
  if (size != nullptr) *size = static_cast<size_t>(info.st_size);
  return fd;
}

namespace {

// Reads up to `size` bytes; a file that shrank meanwhile gives fewer. False on a read error.
bool ReadUpTo(int fd, unsigned char* data, size_t size, size_t& done) {
  done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why) {
  size_t size = 0;
  const int fd = OpenRegularFile(path, why, &size);
  if (fd < 0) return false;
  bytes.resize(size);
  size_t done = 0;
  const bool ok = ReadUpTo(fd, bytes.data(), bytes.size(), done);
  if (!ok) why = std::string("cannot be read: ") + std::strerror(errno);
  bytes.resize(done);
  ::close(fd);
  return ok;
}

StatusCode ReadWholeFile(const std::string& path, BlockPtr<char>& bytes, size_t& size,
                         std::string& why) {
  size_t length = 0;
  const int fd = OpenRegularFile(path, why, &length);
  if (fd < 0) return StatusCode::kLoadFailed;
  StatusCode code = StatusCode::kOk;
  // Not zeroed first: the read writes every byte, and a pass over a large model is not free.
  bytes = AllocateBytes(length);
  if (bytes == nullptr) {
    why = "does not fit in memory";
    code = StatusCode::kOutOfMemory;
  } else if (!ReadUpTo(fd, reinterpret_cast<unsigned char*>(bytes.get()), length, size)) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    code = StatusCode::kLoadFailed;
  }
  ::close(fd);
  return code;
}

ImageKind KindOf(const unsigned char* bytes, size_t size) {
  static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (size >= 8 && std::memcmp(bytes, kPng, 8) == 0) return ImageKind::kPng;
  if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff) {
    return ImageKind::kJpeg;
  }
  return ImageKind::kOther;
}

namespace {

bool ProbePng(const unsigned char* bytes, size_t size, ImageInfo& info, std::string& why) {
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr ihdr{};
  int error = ctx ? spng_set_png_buffer(ctx.get(), bytes, size) : SPNG_EMEM;
  if (error == 0) error = spng_get_ihdr(ctx.get(), &ihdr);
  if (error != 0) {
    why = std::string("PNG header unreadable: ") + spng_strerror(error);
    return false;
  }
  if (ihdr.width > INT32_MAX || ihdr.height > INT32_MAX) {
    why = "PNG is larger than 2^31 pixels on a side";
    return false;
  }
  info.extension = ".png";
  info.width = static_cast<int32_t>(ihdr.width);
  info.height = static_cast<int32_t>(ihdr.height);
  switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE:
      info.channels = 1;
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      info.channels = 2;
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      info.channels = 4;
      break;
    default:
      info.channels = 3;
      break;  // truecolour, and a palette of RGB entries
  }
  // Palette entries are 8 bits a channel whatever the index width.
  info.bitsPerChannel = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED ? 8 : ihdr.bit_depth;
  return true;
}

bool ProbeJpeg(const unsigned char* bytes, size_t size, ImageInfo& info, std::string& why) {
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (!handle || size > ULONG_MAX ||
      tjDecompressHeader3(handle.get(), bytes, static_cast<unsigned long>(size), &width, &height,
                          &subsampling, &colorspace) != 0) {
    why = std::string("JPEG header unreadable: ") +
          (handle ? tjGetErrorStr2(handle.get()) : "no decoder");
    return false;
  }
  info.extension = ".jpg";
  info.width = width;
  info.height = height;
  info.channels = colorspace == TJCS_GRAY                                ? 1
                  : (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) ? 4
                                                                         : 3;
  info.bitsPerChannel = 8;
  return true;
}

}  // namespace

bool ProbeImage(const unsigned char* bytes, size_t size, ImageInfo& info, std::string& why) {
  switch (KindOf(bytes, size)) {
    case ImageKind::kPng:
      return ProbePng(bytes, size, info, why);
    case ImageKind::kJpeg:
      return ProbeJpeg(bytes, size, info, why);
    case ImageKind::kOther:
      break;
  }
  why = "is neither PNG nor JPEG";
  return false;
}

bool StoreBodies(std::vector<Body>& bodies, Scene& scene) {
  if (bodies.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  if (!scene.objects.Allocate(static_cast<int32_t>(bodies.size()))) return false;
  for (size_t i = 0; i < bodies.size(); ++i) scene.objects.items[i] = std::move(bodies[i]);
  bodies.clear();
  return true;
}

void WarnBodyCount(size_t bodies, Status& status) {
  if (bodies <= kManyBodies) return;
  status.warnings.push_back(std::to_string(bodies) +
                            " bodies: readers of the format may stop after the first " +
                            std::to_string(kManyBodies));
}

}  // namespace sceneio::import
