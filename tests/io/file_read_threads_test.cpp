// A large file read in stripes by several threads is the file read by one, byte for byte, with
// the same path split and the same result; sizes around the stripe boundaries included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "io/file_read.h"
#include "sceneio/file_buffer.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;

// Bytes that differ from one 4 KiB page to the next, so that a stripe read to the wrong place
// cannot go unseen.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

TEST(FileBufferThreads, StripedReadIsTheOneThreadRead) {
  constexpr size_t kMiB = size_t{1} << 20;
  TempDir dir;
  // Below the size read in stripes, just at it, and uneven sizes above it whose last stripe is
  // short or a single byte.
  for (size_t size : {kMiB, 8 * kMiB, 8 * kMiB + 1, 13 * kMiB + 4095, 18 * kMiB + 1}) {
    const std::string bytes = Pattern(size);
    const std::string path = dir.Write("big.gof", bytes).string();
    for (int threads : {2, 3, 8}) {
      SCOPED_TRACE(std::to_string(size) + " bytes, " + std::to_string(threads) + " threads");
      FileBuffer file;
      ASSERT_EQ(LoadFileWithThreads(file, path.c_str(), threads), static_cast<int32_t>(size));
      ASSERT_EQ(file.size, static_cast<int32_t>(size));
      EXPECT_EQ(std::memcmp(file.data.get(), bytes.data(), size), 0);
      EXPECT_EQ(file.extension, ".gof");
    }
  }
}

TEST(FileBufferThreads, MissingFileAndSecondLoadAsInOneThread) {
  TempDir dir;
  const std::string missing = (dir.root() / "none.gof").string();
  FileBuffer absent;
  EXPECT_EQ(LoadFileWithThreads(absent, missing.c_str(), 2), 0);
  EXPECT_EQ(absent.data, nullptr);
  EXPECT_EQ(absent.extension, ".gof");  // the path is split all the same

  const std::string first = dir.Write("a.gof", Pattern(9 << 20)).string();
  const std::string second = dir.Write("b.gof", "other").string();
  FileBuffer file;
  ASSERT_EQ(LoadFileWithThreads(file, first.c_str(), 2), 9 << 20);
  EXPECT_EQ(LoadFileWithThreads(file, second.c_str(), 2), 0);  // holds data already
  EXPECT_EQ(file.size, 9 << 20);
  EXPECT_EQ(file.path, first);
}

}  // namespace
}  // namespace sceneio
