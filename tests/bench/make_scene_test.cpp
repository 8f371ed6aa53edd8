// The scene generator behind the benchmarks: what it writes must load in full, every entry read
// where its layout puts it. An entry one token off would shift every read after it, and the
// indices, normals and texture coordinates checked here would show it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sceneio/scene.h"
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

// The text mesh of --obj, read back line by line: what a loader of that format would see.
struct TextMesh {
  std::vector<Vector3> positions;
  std::vector<Vector3> normals;
  std::vector<Vector2> uvs;
  std::vector<std::string> objects;
  std::vector<std::vector<int64_t>> faces;  // nine indices from 1: v/vt/vn per corner
};

TextMesh ReadTextMesh(const std::filesystem::path& path) {
  TextMesh mesh;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    // strtof rounds correctly, as the loader does, so the same digits give the same float.
    auto next = [&] {
      std::string word;
      words >> word;
      return std::strtof(word.c_str(), nullptr);
    };
    if (kind == "v") {
      mesh.positions.push_back({next(), next(), next()});
    } else if (kind == "vn") {
      mesh.normals.push_back({next(), next(), next()});
    } else if (kind == "vt") {
      mesh.uvs.push_back({next(), next()});
    } else if (kind == "o") {
      mesh.objects.emplace_back();
      words >> mesh.objects.back();
    } else if (kind == "f") {
      std::vector<int64_t> corners;
      std::string corner;
      while (words >> corner) {
        std::istringstream parts(corner);
        std::string part;
        while (std::getline(parts, part, '/')) corners.push_back(std::stoll(part));
      }
      mesh.faces.push_back(corners);
    }
  }
  return mesh;
}

bool Same(const Vector3& a, const Vector3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Equal geometry on both sides, or the triangles-per-second comparison would be of different work.
TEST(MakeScene, TextMeshHoldsTheSameGeometry) {
  TempDir dir;
  const auto made = RunProgram(
      "python3", dir.root().string(),
      "'" + kMakeScene + "' --triangles 3000 --bodies 3 --seed 7 --out dork --obj dork.obj");
  ASSERT_EQ(made.status, 0) << made.out;
  Scene scene;
  ASSERT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  const TextMesh mesh = ReadTextMesh(dir.root() / "dork.obj");

  ASSERT_EQ(mesh.objects.size(), static_cast<size_t>(scene.objects.count));
  size_t vertexBase = 0;
  size_t uvBase = 0;
  size_t faceAt = 0;
  for (int32_t b = 0; b < scene.objects.count; ++b) {
    const Body& body = scene.objects.items[b];
    SCOPED_TRACE(body.name);
    EXPECT_EQ("\"" + mesh.objects[b] + "\"", body.name);
    ASSERT_LE(vertexBase + body.vertices.count, mesh.positions.size());
    ASSERT_LE(vertexBase + body.normals.count, mesh.normals.size());
    ASSERT_LE(uvBase + body.uvs.count, mesh.uvs.size());
    int wrong = 0;
    for (int32_t i = 0; i < body.vertices.count; ++i) {
      wrong += Same(body.vertices.items[i], mesh.positions[vertexBase + i]) ? 0 : 1;
      wrong += Same(body.normals.items[i], mesh.normals[vertexBase + i]) ? 0 : 1;
    }
    for (int32_t i = 0; i < body.uvs.count; ++i) {
      const Vector2& uv = mesh.uvs[uvBase + i];
      wrong += body.uvs.items[i].u == uv.u && body.uvs.items[i].v == uv.v ? 0 : 1;
    }
    ASSERT_LE(faceAt + body.faces.count, mesh.faces.size());
    for (const Face& face : body.faces) {
      const std::vector<int64_t>& corners = mesh.faces[faceAt++];
      ASSERT_EQ(corners.size(), 9u);
      for (int k = 0; k < 3; ++k) {
        wrong += corners[3 * k] == face.triple1[k] + static_cast<int64_t>(vertexBase) + 1 ? 0 : 1;
        wrong += corners[3 * k + 1] == face.triple3[k] + static_cast<int64_t>(uvBase) + 1 ? 0 : 1;
        wrong +=
            corners[3 * k + 2] == face.triple2[k] + static_cast<int64_t>(vertexBase) + 1 ? 0 : 1;
      }
    }
    EXPECT_EQ(wrong, 0);
    vertexBase += static_cast<size_t>(body.vertices.count);
    uvBase += static_cast<size_t>(body.uvs.count);
  }
  EXPECT_EQ(vertexBase, mesh.positions.size());
  EXPECT_EQ(uvBase, mesh.uvs.size());
  EXPECT_EQ(faceAt, mesh.faces.size());
}

struct LayoutCase {
  const char* name;
  const char* arguments;
  int32_t base;
  int position, normal, uv;  // which triple holds each; -1 for none
  bool normals, uvs;         // sections written
};

const LayoutCase kLayouts[] = {
    {"index base 1", "--index-base 1", 1, 0, 1, 2, true, true},
    {"uv first", "--faces uv,position,normal", 0, 1, 2, 0, true, true},
    {"normal, uv, position from 1", "--faces normal,uv,position --index-base 1", 1, 2, 0, 1, true,
     true},
    {"no normal triple", "--faces position,none,uv", 0, 0, -1, 2, true, true},
    {"no normals", "--no-normals", 0, 0, 1, 2, false, true},
    {"no uvs", "--no-uvs", 0, 0, 1, 2, true, false},
};

const int32_t* TripleOf(const Face& face, int t) {
  return t == 0 ? face.triple1 : t == 1 ? face.triple2 : face.triple3;
}

// Each option must move the same indices, not make others: the scene with the default layout
// and the same seed says where every index belongs.
TEST(MakeScene, LayoutOptionsMoveTheSameIndices) {
  const std::string common = " --triangles 600 --bodies 2 --seed 9 --out ";
  TempDir dir;
  ASSERT_EQ(
      RunProgram("python3", dir.root().string(), "'" + kMakeScene + "'" + common + "plain").status,
      0);
  Scene plain;
  ASSERT_EQ(plain.Load((dir.root().string() + "/plain\\dork.grp").c_str()), 0);
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.name);
    const std::string out = std::string("l") + std::to_string(&c - kLayouts);
    const auto made = RunProgram("python3", dir.root().string(),
                                 "'" + kMakeScene + "' " + c.arguments + common + out);
    ASSERT_EQ(made.status, 0) << made.out;
    Scene scene;
    ASSERT_EQ(scene.Load((dir.root().string() + "/" + out + "\\dork.grp").c_str()), 0);
    ASSERT_EQ(scene.objects.count, plain.objects.count);
    for (int32_t b = 0; b < scene.objects.count; ++b) {
      const Body& body = scene.objects.items[b];
      const Body& want = plain.objects.items[b];
      EXPECT_EQ(body.normals.items != nullptr, c.normals);
      EXPECT_EQ(body.uvs.items != nullptr, c.uvs);
      EXPECT_EQ(body.vertices.count, want.vertices.count);
      ASSERT_EQ(body.faces.count, want.faces.count);
      for (int32_t f = 0; f < body.faces.count; ++f) {
        const Face& face = body.faces.items[f];
        const Face& wanted = want.faces.items[f];
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(TripleOf(face, c.position)[k], wanted.triple1[k] + c.base) << "face " << f;
          if (c.normal >= 0) {
            ASSERT_EQ(TripleOf(face, c.normal)[k], wanted.triple2[k] + c.base);
          }
          ASSERT_EQ(TripleOf(face, c.uv)[k], wanted.triple3[k] + c.base) << "face " << f;
        }
      }
    }
  }
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
    {"position twice in --faces", "--faces position,position,uv"},
    {"no position in --faces", "--faces uv,normal,none"},
    {"an unknown role", "--faces position,normal,colour"},
    {"index base 2", "--index-base 2"},
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
