// A load with several threads fills the Scene exactly as the load in one thread: the sample, the
// shared conformance scenes when the checkout has them, a generated scene whose object file is
// read in stripes, and scenes that stop at each missing file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "parsers/object_threads.h"
#include "sceneio/scene.h"
#include "support/body_text.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::Flatten;
using testing::TempDir;

// What the threads could touch: the object file's bytes and Bodies, and what each collection and
// buffer holds, in outline (the other parsers run as in one thread).
std::string Outline(const Scene& scene) {
  std::string out;
  for (const auto* file : {&scene.groupFile, &scene.lightFile, &scene.cameraFile,
                           &scene.materialFile, &scene.objectFile}) {
    if (*file == nullptr) {
      out += "none ";
    } else if ((*file)->data == nullptr) {
      out += "unread ";
    } else {
      out += std::string((*file)->data.get(), static_cast<size_t>((*file)->size)) + " ";
    }
  }
  out += std::to_string(scene.lights.count) + " " + std::to_string(scene.camera.count) + " " +
         std::to_string(scene.materials.count) + "\n";
  return out + Flatten(scene.objects);
}

std::vector<std::string> GroupPaths() {
  std::vector<std::string> paths = {testing::SampleGroupPath()};
  const std::filesystem::path shared =
      std::filesystem::path(SCENEIO_SOURCE_DIR) / "../shared/conformance/scenes";
  std::error_code absent;
  for (const auto& entry : std::filesystem::directory_iterator(shared, absent)) {
    paths.push_back((entry.path() / "dork").string() + "\\dork.grp");
  }
  return paths;
}

TEST(LoadThreads, SameSceneAsOneThread) {
  for (const std::string& group : GroupPaths()) {
    SCOPED_TRACE(group);
    Scene alone;
    ASSERT_EQ(alone.Load(group.c_str()), 0);
    for (int threads : {2, 3}) {
      Scene shared;
      LoadOptions options;
      options.threads = threads;
      ASSERT_TRUE(LoadScene(shared, group.c_str(), options).ok());
      EXPECT_EQ(Outline(shared), Outline(alone)) << threads << " threads";
    }
    // The object file again in pieces of a few entries, which no scene this small gets by itself.
    CountedArray<Body> pieces;
    ASSERT_EQ(ParseObjectsWithThreads(*alone.objectFile, pieces, nullptr, 2, 64), 0);
    EXPECT_EQ(Flatten(pieces), Flatten(alone.objects));
  }
}

// Large enough for the object file to be read in stripes and parsed in many pieces.
TEST(LoadThreads, StripedObjectFileLoadsAsInOneThread) {
  TempDir dir;
  const std::string make = std::string("python3 ") + SCENEIO_SOURCE_DIR +
                           "/bench/make-scene --bytes 10M --bodies 3 --seed 9 --out " +
                           (dir.root() / "dork").string() + " > /dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::string group = dir.GroupPath();
  Scene alone;
  ASSERT_EQ(alone.Load(group.c_str()), 0);
  ASSERT_GT(alone.objectFile->size, 8 << 20);
  LoadOptions options;
  options.threads = 2;
  Scene shared;
  ASSERT_TRUE(LoadScene(shared, group.c_str(), options).ok());
  EXPECT_EQ(Outline(shared), Outline(alone));
}

TEST(LoadThreads, StopsAtTheSameMissingFile) {
  for (const char* missing : {"s.lgt", "s.gmf", "s.gof"}) {
    SCOPED_TRACE(missing);
    TempDir dir;
    testing::WriteSampleCopy(dir);
    std::filesystem::remove(dir.root() / "dork" / missing);
    Scene alone;
    ASSERT_EQ(alone.Load(dir.GroupPath().c_str()), -1);
    LoadOptions options;
    options.threads = 2;
    Scene shared;
    EXPECT_EQ(LoadScene(shared, dir.GroupPath().c_str(), options).code, StatusCode::kLoadFailed);
    EXPECT_EQ(Outline(shared), Outline(alone));
  }
}

}  // namespace
}  // namespace sceneio
