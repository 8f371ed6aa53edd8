// Texture files named by a scene: which of them a writer may read, however the name is made.
#include "io/texture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sceneio/file_buffer.h"

namespace sceneio {

namespace {

bool HasUnsafeComponent(std::string_view name, std::string& why) {
  if (name.front() == '/' || name.front() == '\\' ||
      (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))) {
    why = "an absolute name";
    return true;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") {
      why = "a \"..\" component";
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string text = resolved;
  std::free(resolved);
  return text;
}

}  // namespace

// A texture name comes from the scene, which may come from anyone: only a regular PNG or
// JPEG file inside the material file's folder qualifies, however the name tries to leave it.
TextureCheck CheckTexture(const std::string& materialDirectory, std::string_view name) {
  TextureCheck check;
  if (HasUnsafeComponent(name, check.why)) return check;
  std::string folder = NativePath(materialDirectory);
  if (folder.empty()) folder = ".";
  const std::string base = RealPath(folder);
  std::string relative = NativePath(std::string(name));
  const std::string resolved = RealPath(folder + "/" + relative);
  if (base.empty() || resolved.empty()) {
    check.why = "no such file beside the material file";
    return check;
  }
  const std::string prefix = base == "/" ? base : base + "/";
  if (resolved.compare(0, prefix.size(), prefix) != 0) {
    check.why = "a symbolic link leading outside the material file's folder";
    return check;
  }
  // O_NONBLOCK: a FIFO or device in the folder must not hang the open; fstat then refuses it.
  const int fd = open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    check.why = std::string("cannot be opened (") + std::strerror(errno) + ")";
    return check;
  }
  struct stat info {};
  unsigned char head[8] = {};
  ssize_t got = 0;
  const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (regular) got = read(fd, head, sizeof head);
  close(fd);
  if (!regular) {
    check.why = "not a regular file";
    return check;
  }
  static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got == 8 && std::memcmp(head, kPng, 8) == 0) {
    check.mime = "image/png";
  } else if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
    check.mime = "image/jpeg";
  } else {
    check.why = "neither a PNG nor a JPEG image by its first bytes";
    return check;
  }
  check.path = resolved;
  return check;
}

}  // namespace sceneio
