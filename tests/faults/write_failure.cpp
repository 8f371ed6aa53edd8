// Conversions whose writes, closes or allocations fail: each failure ends with its status and
// message, leaves nothing new beside the output and every earlier file as it was; a write that
// is interrupted or cut short still gives the whole file. write() and close() are wrapped
// (the test binary links with --wrap for both) and pass through unless a row arms them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "faults/allocation_counter.h"
#include "sceneio/gltf.h"
#include "sceneio/picture.h"
#include "sceneio/writer.h"
#include "support/buffer_of.h"
#include "support/gltf_read.h"

namespace {

enum class WriteFault {
  kNone,
  kFail,            // every write to a file fails with ENOSPC
  kFailAfterBytes,  // writes to files succeed for the first kFaultBytes, then fail
  kNothing,         // every write to a file puts nothing and reports no error
  kInterruptOnce,   // the first write to a file is interrupted before it puts anything
  kShort,           // each write to a file puts at most 7 bytes
};

constexpr size_t kFaultBytes = size_t{1} << 20;

WriteFault writeFault = WriteFault::kNone;
bool failClose = false;  // the close of a descriptor written to reports EIO
size_t bytesPut = 0;
int lastWritten = -1;

const char* growOnFirstWrite = nullptr;  // a file that gains a byte at the first write

}  // namespace

extern "C" ssize_t __real_write(int fd, const void* data, size_t bytes);
extern "C" int __real_close(int fd);

// Descriptors 0 to 2 are the test's own output, never the converter's.
extern "C" ssize_t __wrap_write(int fd, const void* data, size_t bytes) {
  if (fd <= 2) return __real_write(fd, data, bytes);
  lastWritten = fd;
  if (growOnFirstWrite != nullptr) {
    const int grown = open(growOnFirstWrite, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (grown >= 0) {
      __real_write(grown, "!", 1);
      __real_close(grown);
    }
    growOnFirstWrite = nullptr;
  }
  switch (writeFault) {
    case WriteFault::kFail:
      errno = ENOSPC;
      return -1;
    case WriteFault::kFailAfterBytes:
      if (bytesPut + bytes > kFaultBytes) {
        errno = ENOSPC;
        return -1;
      }
      break;
    case WriteFault::kNothing:
      return 0;
    case WriteFault::kInterruptOnce:
      writeFault = WriteFault::kNone;
      errno = EINTR;
      return -1;
    case WriteFault::kShort:
      if (bytes > 7) bytes = 7;
      break;
    case WriteFault::kNone:
      return __real_write(fd, data, bytes);
  }
  const ssize_t put = __real_write(fd, data, bytes);
  if (put > 0) bytesPut += static_cast<size_t>(put);
  return put;
}

// The descriptor is released either way, as close() does on Linux when it reports an error.
extern "C" int __wrap_close(int fd) {
  const int result = __real_close(fd);
  if (failClose && fd == lastWritten && result == 0) {
    errno = EIO;
    return -1;
  }
  return result;
}

namespace {

enum class EncoderFault { kNone, kContext, kImage, kBuffer };
EncoderFault encoderFault = EncoderFault::kNone;

}  // namespace

extern "C" spng_ctx* __real_spng_ctx_new(int flags);
extern "C" int __real_spng_encode_image(spng_ctx* context, const void* image, size_t length,
                                        int format, int flags);
extern "C" void* __real_spng_get_png_buffer(spng_ctx* context, size_t* length, int* error);

extern "C" spng_ctx* __wrap_spng_ctx_new(int flags) {
  return encoderFault == EncoderFault::kContext ? nullptr : __real_spng_ctx_new(flags);
}
extern "C" int __wrap_spng_encode_image(spng_ctx* context, const void* image, size_t length,
                                        int format, int flags) {
  if (encoderFault == EncoderFault::kImage) return SPNG_EMEM;
  return __real_spng_encode_image(context, image, length, format, flags);
}
extern "C" void* __wrap_spng_get_png_buffer(spng_ctx* context, size_t* length, int* error) {
  if (encoderFault != EncoderFault::kBuffer)
    return __real_spng_get_png_buffer(context, length, error);
  *error = SPNG_EMEM;
  return nullptr;
}

namespace sceneio {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::map<std::string, std::string> Files(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? ReadBytes(entry.path()) : "(folder)";
  }
  return files;
}

// Allocates nothing of its own, so that every allocation it makes is the converter's.
Status Convert(const Scene& scene, const std::string& output) {
  if (output.ends_with(".png")) return WritePicture(scene, {}, 64, 48, output);
  if (output.ends_with(".grp"))
    return WriteScene(scene, output, {.bodyMaterials = {}, .createFolders = true});
  return WriteGltf(scene, {}, output);
}

// A body of 200000 vertices and as many corners: more than the writer's 1 MiB buffer.
void FillLargeBody(Scene& scene) {
  scene.objectFile = std::make_unique<FileBuffer>();
  scene.objectFile->path = "large.gof";
  ASSERT_TRUE(scene.objects.Allocate(1));
  Body& body = scene.objects.items[0];
  body.name = "\"large\"";
  constexpr int32_t kCorners = 200001;
  ASSERT_TRUE(body.vertices.Allocate(kCorners));
  for (int32_t i = 0; i < kCorners; ++i) body.vertices.items[i] = {float(i), float(i % 5), 1};
  ASSERT_TRUE(body.faces.Allocate(kCorners / 3));
  for (int32_t f = 0; f < kCorners / 3; ++f) {
    for (int k = 0; k < 3; ++k) body.faces.items[f].triple1[k] = 3 * f + k;
  }
}

// A body of 50000 vertices and no faces: its points go to the file in one block, past the
// writer's buffer.
void FillPointCloud(Scene& scene) {
  scene.objectFile = std::make_unique<FileBuffer>();
  ASSERT_TRUE(scene.objects.Allocate(1));
  Body& body = scene.objects.items[0];
  body.name = "cloud";
  ASSERT_TRUE(body.vertices.Allocate(50000));
  for (int32_t i = 0; i < 50000; ++i) body.vertices.items[i] = {float(i), -float(i), 0.5f};
}

enum class Input { kSample, kLarge, kPoints };

void Make(Input input, Scene& scene) {
  // Any loaded scene has a material array; the large bodies are made without the load.
  if (input != Input::kSample) {
    ASSERT_TRUE(scene.materials.Allocate(0));
  }
  switch (input) {
    case Input::kSample:
      ASSERT_EQ(scene.Load(testing::SampleGroupPath().c_str()), 0);
      break;
    case Input::kLarge:
      FillLargeBody(scene);
      break;
    case Input::kPoints:
      FillPointCloud(scene);
      break;
  }
}

// What every output of the sample may overwrite, there before the conversion.
constexpr const char* kEarlier[] = {"out.glb", "out.gltf", "out.bin",  "out_brick.png",
                                    "out.png", "out.grp",  "out.lgt",  "out.cam",
                                    "out.gmf", "out.gof",  "brick.png"};

TEST(WriteFailure, EachFailureIsReportedAndLeavesNothingBehind) {
  const struct {
    const char* name;
    Input input;
    const char* output;
    WriteFault fault;
    bool closeFails;
    const char* error;  // after the directory and a slash; nullptr: written whole
  } kCases[] = {
      {".glb, no space", Input::kSample, "out.glb", WriteFault::kFail, false,
       "cannot write {}out.glb: No space left on device"},
      {".gltf, no space for the .bin", Input::kSample, "out.gltf", WriteFault::kFail, false,
       "cannot write {}out.bin: No space left on device"},
      {".glb, no space after the first megabyte", Input::kLarge, "out.glb",
       WriteFault::kFailAfterBytes, false, "cannot write {}out.glb: No space left on device"},
      {".glb, a write that puts nothing", Input::kSample, "out.glb", WriteFault::kNothing, false,
       "cannot write {}out.glb: Input/output error"},
      {".gltf, the .bin fails at close", Input::kSample, "out.gltf", WriteFault::kNone, true,
       "cannot write {}out.bin: Input/output error"},
      {".glb, fails at close", Input::kSample, "out.glb", WriteFault::kNone, true,
       "cannot write {}out.glb: Input/output error"},
      {".png, no space", Input::kSample, "out.png", WriteFault::kFail, false,
       "cannot write {}out.png: No space left on device"},
      {".png, a write that puts nothing", Input::kSample, "out.png", WriteFault::kNothing, false,
       "cannot write {}out.png: Input/output error"},
      {".png, fails at close", Input::kSample, "out.png", WriteFault::kNone, true,
       "cannot write {}out.png: Input/output error"},
      {".glb, interrupted once", Input::kSample, "out.glb", WriteFault::kInterruptOnce, false,
       nullptr},
      {".gltf, interrupted once", Input::kSample, "out.gltf", WriteFault::kInterruptOnce, false,
       nullptr},
      {".png, interrupted once", Input::kSample, "out.png", WriteFault::kInterruptOnce, false,
       nullptr},
      {".gltf, short writes", Input::kSample, "out.gltf", WriteFault::kShort, false, nullptr},
      {".png, short writes", Input::kSample, "out.png", WriteFault::kShort, false, nullptr},
      {".glb of a large body, short writes", Input::kLarge, "out.glb", WriteFault::kShort, false,
       nullptr},
      {".glb of a point cloud, short writes", Input::kPoints, "out.glb", WriteFault::kShort, false,
       nullptr},
      {".grp, no space for the first data file", Input::kSample, "out.grp", WriteFault::kFail,
       false, "cannot write {}out.lgt: No space left on device"},
      {".grp, no space after the first megabyte of a large body", Input::kLarge, "out.grp",
       WriteFault::kFailAfterBytes, false, "cannot write {}out.gof: No space left on device"},
      {".grp, a write that puts nothing", Input::kSample, "out.grp", WriteFault::kNothing, false,
       "cannot write {}out.lgt: Input/output error"},
      {".grp, the first data file fails at close", Input::kSample, "out.grp", WriteFault::kNone,
       true, "cannot write {}out.lgt: Input/output error"},
      {".grp, interrupted once", Input::kSample, "out.grp", WriteFault::kInterruptOnce, false,
       nullptr},
      {".grp, short writes", Input::kSample, "out.grp", WriteFault::kShort, false, nullptr},
      {".grp of a large body, short writes", Input::kLarge, "out.grp", WriteFault::kShort, false,
       nullptr},
      // The folders made for the output go with it.
      {".grp in folders it makes, no space", Input::kSample, "new/deeper/out.grp",
       WriteFault::kFail, false, "cannot write {}new/deeper/out.lgt: No space left on device"},
      {".grp in folders it makes, the first data file fails at close", Input::kSample,
       "new/deeper/out.grp", WriteFault::kNone, true,
       "cannot write {}new/deeper/out.lgt: Input/output error"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    Make(c.input, scene);
    TempDir clean;
    ASSERT_TRUE(Convert(scene, (clean.root() / c.output).string()).ok());
    const std::map<std::string, std::string> whole = Files(clean.root());

    TempDir dir;
    for (const char* old : kEarlier) dir.Write(old, "earlier");
    const std::map<std::string, std::string> before = Files(dir.root());
    bytesPut = 0;
    lastWritten = -1;
    writeFault = c.fault;
    failClose = c.closeFails;
    // A value an earlier call may have left: a failure must not report it.
    errno = ENOENT;
    const Status result = Convert(scene, (dir.root() / c.output).string());
    writeFault = WriteFault::kNone;
    failClose = false;
    if (c.error == nullptr) {
      ASSERT_TRUE(result.ok()) << result.message;
      std::map<std::string, std::string> expected = before;
      for (const auto& [name, bytes] : whole) expected[name] = bytes;
      EXPECT_EQ(Files(dir.root()), expected);
      continue;
    }
    std::string error = c.error;
    error.replace(error.find("{}"), 2, dir.root().string() + "/");
    EXPECT_EQ(result.code, StatusCode::kWriteFailed);
    EXPECT_EQ(result.message, error);
    EXPECT_EQ(Files(dir.root()), before);
  }
}

// Allocation 1, 2, ... of a conversion made to fail in turn, until the conversion no longer takes
// that many. Whichever fails, the conversion says it ran out of memory, leaks nothing, and the
// folder holds what it held; when none fails, the output is the same as ever.
TEST(WriteFailure, EveryAllocationFailureIsReportedAndLeavesNothingBehind) {
  Scene scene;
  ASSERT_EQ(scene.Load(testing::SampleGroupPath().c_str()), 0);
  for (const char* output : {"out.glb", "out.gltf", "out.png", "out.grp"}) {
    SCOPED_TRACE(output);
    TempDir clean;
    ASSERT_TRUE(Convert(scene, (clean.root() / output).string()).ok());
    const std::map<std::string, std::string> whole = Files(clean.root());
    size_t n = 1;
    for (;; ++n) {
      SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
      TempDir dir;
      for (const char* old : kEarlier) dir.Write(old, "earlier");
      const std::map<std::string, std::string> before = Files(dir.root());
      const std::string path = (dir.root() / output).string();
      const size_t heldBefore = testing::HeldBytes();
      bool failed = false;
      {
        testing::FailAllocation(n);
        const Status result = Convert(scene, path);
        failed = testing::StopFailing();
        if (failed) {
          EXPECT_EQ(result.code, StatusCode::kOutOfMemory);
          EXPECT_EQ(result.message.rfind("out of memory", 0), 0u) << result.message;
          EXPECT_EQ(Files(dir.root()), before);
        } else {
          EXPECT_TRUE(result.ok()) << result.message;
          std::map<std::string, std::string> expected = before;
          for (const auto& [name, bytes] : whole) expected[name] = bytes;
          EXPECT_EQ(Files(dir.root()), expected);
        }
      }
      EXPECT_EQ(testing::HeldBytes(), heldBefore);
      if (!failed) break;
      if (n >= 200000u) {
        ADD_FAILURE() << "the conversion never stops allocating";
        break;
      }
    }
    EXPECT_GT(n, 5u);
  }
}

// A texture that changes between the check and the copy is not copied half-changed: the
// conversion fails and leaves nothing (the first write, of the .bin, is where it grows).
TEST(WriteFailure, TextureThatChangesWhileWrittenIsReported) {
  TempDir source;
  testing::WriteSampleCopy(source);
  std::filesystem::copy_file(std::filesystem::path(SCENEIO_SOURCE_DIR) / "examples/dork/brick.png",
                             source.root() / "dork/brick.png");
  Scene scene;
  ASSERT_EQ(scene.Load(source.GroupPath().c_str()), 0);
  const std::string texture = std::filesystem::canonical(source.root() / "dork/brick.png").string();
  TempDir dir;
  for (const char* old : kEarlier) dir.Write(old, "earlier");
  const std::map<std::string, std::string> before = Files(dir.root());
  growOnFirstWrite = texture.c_str();
  const Status result = Convert(scene, (dir.root() / "out.gltf").string());
  growOnFirstWrite = nullptr;
  EXPECT_EQ(result.code, StatusCode::kWriteFailed);
  EXPECT_EQ(result.message,
            "texture " + texture + " changed or vanished while the scene was written");
  EXPECT_EQ(Files(dir.root()), before);

  // Written as the five files, the texture is copied after the data files, the first of which
  // makes it grow.
  growOnFirstWrite = texture.c_str();
  const Status written = Convert(scene, (dir.root() / "out.grp").string());
  growOnFirstWrite = nullptr;
  EXPECT_EQ(written.code, StatusCode::kWriteFailed);
  EXPECT_EQ(written.message,
            "texture " + texture + " changed or vanished while the scene was written");
  EXPECT_EQ(Files(dir.root()), before);
}

// The encoder's own failures (it fails only when it cannot allocate) end the picture before a
// file is made.
TEST(WriteFailure, EncoderFailuresAreReportedAndWriteNothing) {
  const std::string outOfMemory = spng_strerror(SPNG_EMEM);
  const struct {
    const char* name;
    EncoderFault fault;
    std::string error;
  } kCases[] = {
      {"no encoder", EncoderFault::kContext, "PNG encoding failed: out of memory"},
      {"the image does not encode", EncoderFault::kImage,
       "PNG encoding failed at image: " + outOfMemory},
      {"the encoded file cannot be taken", EncoderFault::kBuffer,
       "PNG encoding failed at output: " + outOfMemory},
  };
  Scene scene;
  ASSERT_EQ(scene.Load(testing::SampleGroupPath().c_str()), 0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* old : kEarlier) dir.Write(old, "earlier");
    const std::map<std::string, std::string> before = Files(dir.root());
    encoderFault = c.fault;
    const Status result = Convert(scene, (dir.root() / "out.png").string());
    encoderFault = EncoderFault::kNone;
    EXPECT_EQ(result.code, StatusCode::kWriteFailed);
    EXPECT_EQ(result.message, c.error);
    EXPECT_EQ(Files(dir.root()), before);
  }
}

}  // namespace
}  // namespace sceneio
