// The OBJ importer: bodies per object, group and material, polygons as fans in corner order,
// the material library, and the refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "sceneio/import.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::TempDir;

std::vector<std::array<float, 3>> CornerPositions(const Body& body) {
  std::vector<std::array<float, 3>> out;
  for (int32_t f = 0; f < body.faces.count; ++f) {
    for (int k = 0; k < 3; ++k) {
      const Vector3& p = body.vertices.items[body.faces.items[f].triple1[k]];
      out.push_back({p.x, p.y, p.z});
    }
  }
  return out;
}

constexpr char kMtl[] =
    "newmtl red\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 40\nd 0.5\nKe 0 0 0.25\nmap_Kd tex.png\n"
    "newmtl blue\nKd 0 0 1\nTr 0.25\n";

constexpr char kObj[] =
    "mtllib scene.mtl\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n"
    "o box\nusemtl red\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n"  // a quad: two triangles around its first corner
    "usemtl blue\n"
    "f -5/1/1 -3/3/1 -1/4/1\n"  // negative indices count back from the last vertex
    "g lid\n"
    "f 2 3 5\n";

TEST(ObjImport, BodiesFacesAndMaterialsFollowTheFile) {
  TempDir dir;
  // The smallest PNG header the probe reads: signature and IHDR of a 2x3 RGBA image.
  const std::string png(
      "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x03\x08\x06\0\0\0\x9a\x9a\x9a\x9a", 33);
  dir.Write("tex.png", png);
  dir.Write("scene.mtl", kMtl);
  const auto path = dir.Write("scene.obj", kObj);
  ImportedScene out;
  const Status status = ImportObj(path.string(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 3);
  const Body& red = out.scene.objects.items[0];
  const Body& blue = out.scene.objects.items[1];
  const Body& lid = out.scene.objects.items[2];
  EXPECT_EQ(red.name, "\"box_red\"");
  EXPECT_EQ(blue.name, "\"box_blue\"");
  EXPECT_EQ(lid.name, "\"lid\"");
  using P = std::vector<std::array<float, 3>>;
  EXPECT_EQ(CornerPositions(red),
            (P{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
  EXPECT_EQ(CornerPositions(blue), (P{{0, 0, 0}, {1, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(CornerPositions(lid), (P{{1, 0, 0}, {1, 1, 0}, {0, 0, 1}}));
  // Each body holds only what its faces use, numbered from 0 in order of first use.
  EXPECT_EQ(red.vertices.count, 4);
  EXPECT_EQ(red.normals.count, 1);
  EXPECT_EQ(red.uvs.count, 4);
  EXPECT_EQ(blue.faces.items[0].triple3[2], 2);
  EXPECT_EQ(lid.normals.count, 0);

  ASSERT_EQ(out.scene.materials.count, 2);
  const Material& r = out.scene.materials.items[0];
  EXPECT_EQ(r.name, "\"red\"");
  EXPECT_FLOAT_EQ(r.diffuse.r, 1);
  EXPECT_FLOAT_EQ(r.specular.g, 0.5f);
  EXPECT_FLOAT_EQ(r.shininess, 40);
  EXPECT_FLOAT_EQ(r.opacity, 0.5f);
  EXPECT_FLOAT_EQ(r.extraColor1.b, 0.25f);
  EXPECT_EQ(r.textureName, "\"tex.png\"");
  EXPECT_EQ(r.textureWidth, 2);
  EXPECT_EQ(r.textureHeight, 3);
  EXPECT_EQ(r.textureChannels, 4);
  EXPECT_EQ(r.textureBitsPerChannel, 8);
  EXPECT_FLOAT_EQ(out.scene.materials.items[1].opacity, 0.75f);
  ASSERT_EQ(out.images.size(), 1u);
  EXPECT_EQ(out.images[0].fileName, "tex.png");
  EXPECT_EQ(out.images[0].bytes.size(), png.size());
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(
      out.bodyMaterials,
      (Pairs{{"\"box_red\"", "\"red\""}, {"\"box_blue\"", "\"blue\""}, {"\"lid\"", "\"blue\""}}));
}

struct BadObj {
  const char* name;
  const char* obj;
  const char* mtl;  // written as m.mtl beside it, or null
  const char* message;
};

const BadObj kBadObjs[] = {
    {"mtllib_up_and_out", "mtllib ../secret.mtl\nv 0 0 0\nf 1 1 1\n", nullptr,
     "mtllib \"../secret.mtl\" holds \"..\""},
    {"mtllib_absolute", "mtllib /etc/passwd\nv 0 0 0\nf 1 1 1\n", nullptr, "is an absolute path"},
    {"mtllib_link_out", "mtllib link.mtl\nv 0 0 0\nf 1 1 1\n", nullptr, "link leading out"},
    {"map_kd_up_and_out", "mtllib m.mtl\nusemtl a\nv 0 0 0\nf 1 1 1\n",
     "newmtl a\nmap_Kd ../secret.mtl\n", "map_Kd \"../secret.mtl\" holds \"..\""},
    {"map_kd_link_out", "mtllib m.mtl\nusemtl a\nv 0 0 0\nf 1 1 1\n", "newmtl a\nmap_Kd link.mtl\n",
     "link leading out"},
    {"vertex_not_finite", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n", nullptr,
     "vertex 2 of the file is not finite"},
    {"index_past_the_end", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", nullptr,
     "vertex index 4 names no vertex of the 3"},
};

class ObjRefusals : public ::testing::TestWithParam<BadObj> {};

TEST_P(ObjRefusals, StopWithTheElementAndWhy) {
  TempDir outside;
  outside.Write("secret.mtl", "newmtl stolen\nKd 1 1 1\n");
  TempDir dir;
  std::filesystem::create_symlink(outside.root() / "secret.mtl", dir.root() / "link.mtl");
  if (GetParam().mtl != nullptr) dir.Write("m.mtl", GetParam().mtl);
  const auto path = dir.Write("model.obj", GetParam().obj);
  ImportedScene out;
  const Status status = ImportObj(path.string(), out);
  EXPECT_EQ(status.code, StatusCode::kInvalidInput);
  EXPECT_NE(status.message.find(GetParam().message), std::string::npos) << status.message;
}

INSTANTIATE_TEST_SUITE_P(Rows, ObjRefusals, ::testing::ValuesIn(kBadObjs),
                         [](const auto& info) { return std::string(info.param.name); });

// What the import passes over is told, and the rest of the mesh comes in.
struct WarnedObj {
  const char* name;
  const char* obj;
  const char* mtl;      // written as m.mtl beside it, or null
  const char* warning;  // part of a warning
};

const WarnedObj kWarnedObjs[] = {
    {"missing_library", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", nullptr,
     "mtllib \"gone.mtl\" left out"},
    // usemtl ends at the first space, newmtl does not: the name cannot be worn as written.
    {"material_name_with_a_space",
     "mtllib m.mtl\nusemtl glass pane\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
     "newmtl glass pane\nKd 1 1 1\n", "usemtl \"glass\": the material library has no material"},
    {"unknown_material", "mtllib m.mtl\nusemtl stone\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
     "newmtl wood\nKd 1 1 1\n", "usemtl \"stone\": the material library has no material"},
};

class ObjWarnings : public ::testing::TestWithParam<WarnedObj> {};

TEST_P(ObjWarnings, TheMeshComesInWithoutTheAssignment) {
  TempDir dir;
  if (GetParam().mtl != nullptr) dir.Write("m.mtl", GetParam().mtl);
  const auto path = dir.Write("model.obj", GetParam().obj);
  ImportedScene out;
  const Status status = ImportObj(path.string(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(out.scene.objects.count, 1);
  EXPECT_TRUE(out.bodyMaterials.empty());
  std::string warnings;
  for (const std::string& warning : status.warnings) warnings += warning + "\n";
  EXPECT_NE(warnings.find(GetParam().warning), std::string::npos) << warnings;
}

INSTANTIATE_TEST_SUITE_P(Rows, ObjWarnings, ::testing::ValuesIn(kWarnedObjs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sceneio

namespace sceneio {
namespace {

// The generator's text mesh is the same geometry as its scene: imported, every face's corners
// stand where the scene's own load puts them, in the same order.
TEST(ObjImport, GeneratedMeshKeepsEveryCornerInOrder) {
  TempDir dir;
  const auto made = testing::RunProgram(
      "python3", dir.root().string(),
      "'" + std::string(SCENEIO_SOURCE_DIR) +
          "/bench/make-scene' --triangles 600 --bodies 3 --seed 9 --out dork --obj dork/mesh.obj");
  ASSERT_EQ(made.status, 0) << made.out;
  Scene scene;
  ASSERT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  ImportedScene imported;
  const Status status = ImportObj((dir.root() / "dork" / "mesh.obj").string(), imported);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(imported.scene.objects.count, scene.objects.count);
  for (int32_t b = 0; b < scene.objects.count; ++b) {
    const Body& want = scene.objects.items[b];
    const Body& got = imported.scene.objects.items[b];
    ASSERT_EQ(got.faces.count, want.faces.count);
    for (int32_t f = 0; f < want.faces.count; ++f) {
      for (int k = 0; k < 3; ++k) {
        const Vector3& p = want.vertices.items[want.faces.items[f].triple1[k]];
        const Vector3& q = got.vertices.items[got.faces.items[f].triple1[k]];
        ASSERT_FLOAT_EQ(q.x, p.x) << "body " << b << " face " << f << " corner " << k;
        ASSERT_FLOAT_EQ(q.y, p.y);
        ASSERT_FLOAT_EQ(q.z, p.z);
      }
    }
  }
}

}  // namespace
}  // namespace sceneio

namespace sceneio {
namespace {

// The file the user names is opened as a regular file or not at all: a folder, a FIFO (which
// must not stall the open) or nothing there is kLoadFailed with the path and why.
struct UnopenableRow {
  const char* name;
  const char* file;  // under a fresh folder holding "folder/" and the FIFO "pipe"
  const char* why;
};

const UnopenableRow kUnopenable[] = {
    {"folder", "folder", "is not a regular file"},
    {"fifo", "pipe", "is not a regular file"},
    {"missing", "nothing", "cannot be read: No such file or directory"},
};

class UnopenableInputs : public ::testing::TestWithParam<UnopenableRow> {};

TEST_P(UnopenableInputs, FailTheLoadForBothImporters) {
  TempDir dir;
  std::filesystem::create_directory(dir.root() / "folder");
  ASSERT_EQ(mkfifo((dir.root() / "pipe").c_str(), 0600), 0);
  const std::string path = (dir.root() / GetParam().file).string();
  for (const bool gltf : {false, true}) {
    SCOPED_TRACE(gltf ? "glTF" : "OBJ");
    ImportedScene out;
    const Status status = gltf ? ImportGltf(path, out) : ImportObj(path, out);
    EXPECT_EQ(status.code, StatusCode::kLoadFailed);
    EXPECT_EQ(status.message, path + " " + GetParam().why);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, UnopenableInputs, ::testing::ValuesIn(kUnopenable),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sceneio
