// Reads a file whole into an exact-size block and splits its path.
#include "sceneio/file_buffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "io/large_block.h"

namespace sceneio {
namespace {

// Owns a descriptor only for the duration of one LoadFile.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads exactly `size` bytes unless the file ends or fails first; returns the count read. The
// size comes from fstat, so a file that shrinks meanwhile ends short (the caller then keeps
// nothing) and one that grows yields only the bytes it held then: `size` never exceeds `data`.
size_t ReadFully(int fd, char* block, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(fd, block + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

int32_t FileBuffer::LoadFile(const char* filePath) {
  if (filePath == nullptr || data) return 0;

  path = filePath;
  const size_t slash = path.rfind('\\');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  directory.assign(path, 0, nameStart);
  // A full stop before the last backslash belongs to a directory ("d.v\file"): the base name
  // then runs to the end, while the extension still starts at that full stop.
  const bool dotInName = dot != std::string::npos && dot >= nameStart;
  baseName.assign(path, nameStart, dotInName ? dot - nameStart : std::string::npos);
  if (dot == std::string::npos) {
    extension.clear();
  } else {
    extension.assign(path, dot, std::string::npos);
  }

  // Only a regular file is read. Opening must not wait on the way to finding out: without
  // O_NONBLOCK a named pipe with no writer blocks the open itself, and without O_NOCTTY a
  // terminal could become the process's own. The kind is then taken from the open descriptor,
  // never from the name, which a rename could point elsewhere between the look and the open.
  Descriptor file(open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return 0;
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  if (info.st_size < 0 || info.st_size > std::numeric_limits<int32_t>::max()) return 0;

  const auto length = static_cast<size_t>(info.st_size);
  // Not value-initialised: every byte is overwritten by the read, and zero-filling a large
  // block would cost as much as the read itself.
  BlockPtr<char> block = AllocateBytes(length);
  if (!block) return 0;
  if (ReadFully(file.get(), block.get(), length) != length) return 0;

  data = std::move(block);
  size = static_cast<int32_t>(length);
  return size;
}

}  // namespace sceneio
