// The scene generator behind the benchmarks: what it writes must load in full, every entry read
// where its layout puts it. An entry one token off would shift every read after it, and the
// indices, normals and texture coordinates checked here would show it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "scene/scene.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::RunProgram;
using testing::TempDir;

const std::string kMakeScene = std::string(SCENEIO_SOURCE_DIR) + "/bench/make-scene";

// The triangle count make-scene reports: "... N bodies, T triangles, B bytes".
int64_t ReportedTriangles(const std::string& out) {
  const size_t end = out.find(" triangles");
  if (end == std::string::npos) return -1;
  const size_t start = out.rfind(' ', end - 1);
  return std::stoll(out.substr(start + 1, end - start - 1));
}

TEST(MakeScene, WritesASceneThatLoadsEntryForEntry) {
  TempDir dir;
  const auto made =
      RunProgram("python3", dir.root().string(),
                 "'" + kMakeScene + "' --triangles 3000 --bodies 3 --seed 5 --lights 2 --out dork");
  ASSERT_EQ(made.status, 0) << made.out;

  Scene scene;
  ASSERT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  EXPECT_EQ(scene.lights.count, 2);
  EXPECT_EQ(scene.camera.count, 1);
  EXPECT_EQ(scene.materials.count, 4);
  ASSERT_EQ(scene.objects.count, 3);

  int64_t triangles = 0;
  for (const Body& body : scene.objects) {
    SCOPED_TRACE(body.name);
    ASSERT_GT(body.vertices.count, 0);
    ASSERT_EQ(body.normals.count, body.vertices.count);
    ASSERT_GT(body.uvs.count, 0);
    ASSERT_GT(body.faces.count, 0);
    triangles += body.faces.count;
    for (const Face& face : body.faces) {
      for (int k = 0; k < 3; ++k) {
        ASSERT_GE(face.triple1[k], 0);
        ASSERT_LT(face.triple1[k], body.vertices.count);
        ASSERT_EQ(face.triple2[k], face.triple1[k]);  // one normal per vertex
        ASSERT_GE(face.triple3[k], 0);
        ASSERT_LT(face.triple3[k], body.uvs.count);
      }
    }
    for (const Vector3& normal : body.normals) {
      const double length = std::sqrt(double{normal.x} * normal.x + double{normal.y} * normal.y +
                                      double{normal.z} * normal.z);
      ASSERT_NEAR(length, 1.0, 1e-5);
    }
    for (const Vector2& uv : body.uvs) {
      ASSERT_GE(uv.u, 0.0f);
      ASSERT_LE(uv.u, 1.0f);
      ASSERT_GE(uv.v, 0.0f);
      ASSERT_LE(uv.v, 1.0f);
    }
    EXPECT_EQ(body.faceParts.firstName, "\"outer\"");
    EXPECT_EQ(body.faceParts.secondName, "\"inner\"");
    ASSERT_GT(body.faceParts.indices.count, 0);
    for (int32_t index : body.faceParts.indices) {
      ASSERT_GE(index, 0);
      ASSERT_LT(index, body.faces.count);
    }
  }
  EXPECT_EQ(triangles, ReportedTriangles(made.out));
}

TEST(MakeScene, SizesTheObjectFileByBytes) {
  TempDir dir;
  const auto made = RunProgram("python3", dir.root().string(),
                               "'" + kMakeScene + "' --bytes 1M --bodies 2 --out dork");
  ASSERT_EQ(made.status, 0) << made.out;
  const auto size = static_cast<double>(std::filesystem::file_size(dir.root() / "dork/dork.gof"));
  EXPECT_NEAR(size / (1 << 20), 1.0, 0.05);
}

constexpr struct {
  const char* name;
  const char* arguments;
} kRefused[] = {
    {"no bodies", "--bodies 0"},
    {"fewer triangles than a body needs", "--triangles 5 --bodies 1"},
    {"both sizes at once", "--bytes 1M --triangles 100"},
};

TEST(MakeScene, RefusesWhatItCannotWrite) {
  TempDir dir;
  for (const auto& c : kRefused) {
    SCOPED_TRACE(c.name);
    const auto made = RunProgram("python3", dir.root().string(),
                                 "'" + kMakeScene + "' " + c.arguments + " --out dork 2>/dev/null");
    EXPECT_NE(made.status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.root() / "dork/dork.gof"));
  }
}

}  // namespace
}  // namespace sceneio
