// Reads a file whole into an exact-size block and splits its path.
#include "sceneio/file_buffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#include "io/file_read.h"
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

// Reads `size` bytes at `offset`; returns the count read.
size_t ReadAt(int fd, char* block, size_t size, size_t offset) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = pread(fd, block + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// From this size on a file is read in one stripe per thread: copying it and faulting in the
// block's pages are most of a large read, and each thread takes its share of both.
constexpr size_t kStripedBytes = size_t{8} << 20;
// Stripes meet at 2 MiB boundaries, so no huge page of the block is faulted in by two threads.
constexpr size_t kStripeGrain = size_t{2} << 20;

// True when all `size` bytes were read. A stripe that ends short fails the read, as a file that
// shrinks does in one thread; one that grows gives the bytes it had at the size taken.
bool ReadWhole(int fd, char* block, size_t size, int threads) {
  if (threads <= 1 || size < kStripedBytes) return ReadFully(fd, block, size) == size;
  const size_t share = (size + static_cast<size_t>(threads) - 1) / static_cast<size_t>(threads);
  const size_t stripe = (share + kStripeGrain - 1) / kStripeGrain * kStripeGrain;
  std::vector<char> read(static_cast<size_t>(threads), 0);  // one flag per helper, apart
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<size_t>(threads));
  size_t helped = stripe;  // the helpers read [stripe, helped)
  for (size_t t = 1; t < static_cast<size_t>(threads) && helped < size; ++t) {
    const size_t begin = helped;
    const size_t length = std::min(stripe, size - begin);
    try {
      helpers.emplace_back([fd, block, begin, length, flag = &read[t]] {
        *flag = ReadAt(fd, block + begin, length, begin) == length ? 1 : 0;
      });
    } catch (const std::system_error&) {
      break;  // what no helper took is read here
    }
    helped = begin + length;
  }
  const size_t first = std::min(stripe, size);
  bool whole = ReadAt(fd, block, first, 0) == first;
  if (whole && helped < size)
    whole = ReadAt(fd, block + helped, size - helped, helped) == size - helped;
  for (std::thread& helper : helpers) helper.join();
  for (size_t t = 1; t <= helpers.size(); ++t) whole = whole && read[t] != 0;
  return whole;
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
  return LoadFileWithThreads(*this, filePath, 1);
}

int32_t LoadFileWithThreads(FileBuffer& buffer, const char* filePath, int threads) {
  if (filePath == nullptr || buffer.data) return 0;
  std::string& path = buffer.path;

  path = filePath;
  const size_t slash = path.rfind('\\');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  buffer.directory.assign(path, 0, nameStart);
  // A full stop before the last backslash belongs to a directory ("d.v\file"): the base name
  // then runs to the end, while the extension still starts at that full stop.
  const bool dotInName = dot != std::string::npos && dot >= nameStart;
  buffer.baseName.assign(path, nameStart, dotInName ? dot - nameStart : std::string::npos);
  if (dot == std::string::npos) {
    buffer.extension.clear();
  } else {
    buffer.extension.assign(path, dot, std::string::npos);
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
  if (!ReadWhole(file.get(), block.get(), length, threads)) return 0;

  buffer.data = std::move(block);
  buffer.size = static_cast<int32_t>(length);
  return buffer.size;
}

}  // namespace sceneio
