// The glTF importer: the mapping onto a Scene, the round trip through the export, and the
// refusals of untrusted documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "import/gltf_doc.h"
#include "sceneio/gltf.h"
#include "sceneio/import.h"
#include "support/buffer_of.h"
#include "support/gltf_read.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using nlohmann::json;
using testing::GltfDoc;
using testing::TempDir;

Status ImportText(const std::string& text, ImportedScene& out, const std::string& folder = "") {
  return ImportGltfFromMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                              folder, out);
}

std::vector<std::array<int32_t, 3>> Corners(const Body& body) {
  std::vector<std::array<int32_t, 3>> corners;
  for (int32_t f = 0; f < body.faces.count; ++f) {
    const Face& face = body.faces.items[f];
    corners.push_back({face.triple1[0], face.triple1[1], face.triple1[2]});
  }
  return corners;
}

// A unit quad as four vertices, listed as the mode wants them.
const std::vector<float> kQuad = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};

struct ModeRow {
  const char* name;
  int mode;
  std::vector<uint16_t> indices;
  std::vector<std::array<int32_t, 3>> triangles;  // as position indices, winding kept
};

class GltfModes : public ::testing::TestWithParam<ModeRow> {};

TEST_P(GltfModes, TriangulatesKeepingEachTrianglesFacing) {
  const ModeRow& row = GetParam();
  GltfDoc doc;
  const int mesh =
      doc.Mesh({{"POSITION", doc.Floats(kQuad, "VEC3")}}, doc.Indices(row.indices), row.mode);
  doc.Node({{"mesh", mesh}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 1);
  EXPECT_EQ(Corners(out.scene.objects.items[0]), row.triangles);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GltfModes,
    ::testing::Values(
        ModeRow{"triangles", 4, {0, 1, 2, 2, 1, 3}, {{0, 1, 2}, {2, 1, 3}}},
        // Every second strip triangle swaps its first two corners back to the strip's facing.
        ModeRow{"strip", 5, {0, 1, 2, 3}, {{0, 1, 2}, {2, 1, 3}}},
        ModeRow{"strip_of_five", 5, {0, 1, 2, 3, 0}, {{0, 1, 2}, {2, 1, 3}, {2, 3, 0}}},
        ModeRow{"fan", 6, {0, 1, 3, 2}, {{1, 3, 0}, {3, 2, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Indices however a document may hold them: each component type, sparse substitutions,
// picking points, and a mirror turning a fan over.
struct IndexRow {
  const char* name;
  int mode;
  json node;                                      // the node's own members beside its mesh
  int (*indices)(GltfDoc& doc);                   // adds the index accessor, returns it
  std::vector<std::array<int32_t, 3>> triangles;  // as position indices, winding kept
  std::vector<float> points;                      // for points: the picked positions, in order
};

int SparseIndices(GltfDoc& doc, int view, std::vector<uint8_t> targets,
                  std::vector<uint16_t> values) {
  const int accessor = doc.Accessor(view, 5123, 6, "SCALAR");
  const int targetView = doc.View(targets);
  const int valueView = doc.View(values);
  doc.json["accessors"][accessor]["sparse"] = {
      {"count", targets.size()},
      {"indices", {{"bufferView", targetView}, {"componentType", 5121}}},
      {"values", {{"bufferView", valueView}}}};
  return accessor;
}

class GltfIndexSources : public ::testing::TestWithParam<IndexRow> {};

TEST_P(GltfIndexSources, GiveTheCornersTheDocumentMeans) {
  const IndexRow& row = GetParam();
  GltfDoc doc;
  const int positions = doc.Floats(kQuad, "VEC3");
  const int indices = row.indices(doc);
  json node = row.node;
  node["mesh"] = doc.Mesh({{"POSITION", positions}}, indices, row.mode);
  doc.Node(node);
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 1);
  const Body& body = out.scene.objects.items[0];
  EXPECT_EQ(Corners(body), row.triangles);
  if (row.mode == 0) {
    std::vector<float> points;
    for (const Vector3& p : body.vertices) points.insert(points.end(), {p.x, p.y, p.z});
    EXPECT_EQ(points, row.points);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GltfIndexSources,
    ::testing::Values(
        IndexRow{"unsigned_bytes",
                 4,
                 json::object(),
                 [](GltfDoc& doc) {
                   return doc.Accessor(doc.View(std::vector<uint8_t>{0, 1, 2, 2, 1, 3}), 5121, 6,
                                       "SCALAR");
                 },
                 {{0, 1, 2}, {2, 1, 3}},
                 {}},
        IndexRow{"unsigned_ints",
                 4,
                 json::object(),
                 [](GltfDoc& doc) {
                   return doc.Accessor(doc.View(std::vector<uint32_t>{3, 2, 1, 1, 0, 3}), 5125, 6,
                                       "SCALAR");
                 },
                 {{3, 2, 1}, {1, 0, 3}},
                 {}},
        // The fourth index, 0, replaced by 2.
        IndexRow{"sparse_over_a_view",
                 4,
                 json::object(),
                 [](GltfDoc& doc) {
                   return SparseIndices(doc, doc.View(std::vector<uint16_t>{0, 1, 2, 0, 1, 3}), {3},
                                        {2});
                 },
                 {{0, 1, 2}, {2, 1, 3}},
                 {}},
        IndexRow{
            "strip_of_bytes",
            5,
            json::object(),
            [](GltfDoc& doc) {
              return doc.Accessor(doc.View(std::vector<uint8_t>{0, 1, 2, 3}), 5121, 4, "SCALAR");
            },
            {{0, 1, 2}, {2, 1, 3}},
            {}},
        // Mirrored in z: each triangle's last two corners swap to keep the facing.
        IndexRow{"mirrored_fan",
                 6,
                 {{"scale", {1, 1, -1}}},
                 [](GltfDoc& doc) {
                   return doc.Indices({0, 1, 3, 2});
                 },
                 {{1, 0, 3}, {3, 0, 2}},
                 {}},
        IndexRow{"points_picked_in_their_order",
                 0,
                 {{"translation", {0, 0, 2}}},
                 [](GltfDoc& doc) {
                   return doc.Indices({3, 0, 3});
                 },
                 {},
                 {1, 1, 2, 0, 0, 2, 1, 1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GltfImport, PointsGiveVerticesOnlyAndLinesAreLeftOutWithAWarning) {
  GltfDoc doc;
  const int positions = doc.Floats(kQuad, "VEC3");
  doc.json["meshes"].push_back({{"primitives",
                                 {{{"attributes", {{"POSITION", positions}}}, {"mode", 0}},
                                  {{"attributes", {{"POSITION", positions}}}, {"mode", 1}}}}});
  doc.Node({{"mesh", 0}, {"name", "cloud"}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 1);
  const Body& body = out.scene.objects.items[0];
  EXPECT_EQ(body.vertices.count, 4);
  EXPECT_EQ(body.faces.items, nullptr);
  ASSERT_EQ(status.warnings.size(), 1u);
  EXPECT_NE(status.warnings[0].find("LINES"), std::string::npos) << status.warnings[0];
}

// A mesh used by two nodes under a moved, turned and scaled parent: two bodies, each in world
// space; normals by the inverse transpose, unit length; a mirror keeps the triangles' facing.
TEST(GltfImport, BakesEachInstanceIntoWorldSpace) {
  GltfDoc doc;
  const int positions = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  const int normals = doc.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
  const int mesh = doc.Mesh({{"POSITION", positions}, {"NORMAL", normals}});
  doc.Node({{"name", "root"},
            {"translation", {10, 0, 0}},
            {"rotation", {0, 0, std::sqrt(0.5), std::sqrt(0.5)}},  // 90 degrees about +Z
            {"children", {1, 2}}});
  doc.Node({{"name", "a"}, {"mesh", mesh}, {"scale", {2, 1, 1}}});
  doc.Node({{"name", "b"}, {"mesh", mesh}, {"scale", {1, 1, -1}}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 2);
  const Body& a = out.scene.objects.items[0];
  const Body& b = out.scene.objects.items[1];
  EXPECT_EQ(a.name, "\"a\"");
  EXPECT_EQ(b.name, "\"b\"");
  // (1, 0, 0) scaled to (2, 0, 0), turned to (0, 2, 0), moved to (10, 2, 0).
  EXPECT_NEAR(a.vertices.items[1].x, 10, 1e-6);
  EXPECT_NEAR(a.vertices.items[1].y, 2, 1e-6);
  EXPECT_NEAR(a.normals.items[0].z, 1, 1e-6);
  // z mirrored: the normal points down and the corners are swapped to keep the facing.
  EXPECT_NEAR(b.normals.items[0].z, -1, 1e-6);
  EXPECT_EQ(Corners(b), (std::vector<std::array<int32_t, 3>>{{0, 2, 1}}));
  EXPECT_EQ(Corners(a), (std::vector<std::array<int32_t, 3>>{{0, 1, 2}}));
}

TEST(GltfImport, MaterialsLightsAndCameraMapBack) {
  GltfDoc doc;
  doc.json["materials"] = {
      {{"name", "glass pane"},
       {"alphaMode", "BLEND"},
       {"pbrMetallicRoughness",
        {{"baseColorFactor", {0.25, 0.5, 0.75, 0.5}}, {"roughnessFactor", 0.5}}},
       {"emissiveFactor", {0, 0.5, 1}},
       {"extensions",
        {{"KHR_materials_specular",
          {{"specularColorFactor", {0.5, 0.5, 0.5}}, {"specularFactor", 0.5}}}}}},
      {{"name", "GL_Shade"}, {"pbrMetallicRoughness", {{"baseColorFactor", {1, 1, 1, 0.5}}}}}};
  doc.json["extensionsUsed"] = {"KHR_lights_punctual", "KHR_materials_specular"};
  doc.json["extensions"]["KHR_lights_punctual"]["lights"] = {
      {{"type", "directional"}, {"name", "sun"}, {"color", {1, 0.5, 0.25}}, {"intensity", 3}},
      {{"type", "point"}}};
  doc.json["cameras"] = {
      {{"type", "perspective"}, {"perspective", {{"yfov", M_PI / 4}, {"znear", 0.5}}}}};
  const int mesh =
      doc.Mesh({{"POSITION", doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3")}}, -1, 4, 0);
  doc.Node({{"name", "pane"}, {"mesh", mesh}});
  // Turned 90 degrees about +Y: -Z becomes -X.
  doc.Node({{"rotation", {0, std::sqrt(0.5), 0, std::sqrt(0.5)}},
            {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}});
  doc.Node({{"extensions", {{"KHR_lights_punctual", {{"light", 1}}}}}});
  doc.Node({{"camera", 0}, {"translation", {1, 2, 3}}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;

  ASSERT_EQ(out.scene.materials.count, 2);
  const Material& glass = out.scene.materials.items[0];
  EXPECT_EQ(glass.name, "\"glass_pane\"");
  EXPECT_FLOAT_EQ(glass.diffuse.g, 0.5f);
  EXPECT_FLOAT_EQ(glass.opacity, 0.5f);
  // The export's roughness sqrt(2 / (s + 2)) gives 0.5 back for this shininess.
  EXPECT_FLOAT_EQ(glass.shininess, 6);
  EXPECT_FLOAT_EQ(std::sqrt(2 / (glass.shininess + 2)), 0.5f);
  EXPECT_FLOAT_EQ(glass.specular.r, 0.25f);
  EXPECT_FLOAT_EQ(glass.extraColor1.b, 1);
  const Material& shade = out.scene.materials.items[1];
  EXPECT_NE(shade.name, "GL_Shade");
  EXPECT_NE(shade.name, "\"GL_Shade\"");
  EXPECT_FLOAT_EQ(shade.opacity, 1);  // OPAQUE ignores the alpha
  ASSERT_EQ(out.bodyMaterials.size(), 1u);
  EXPECT_EQ(out.bodyMaterials[0], std::make_pair(std::string("\"pane\""), glass.name));

  ASSERT_EQ(out.scene.lights.count, 1);
  const Light& sun = out.scene.lights.items[0];
  EXPECT_EQ(sun.name, "sun");
  EXPECT_FLOAT_EQ(sun.brightness, 3);
  EXPECT_FLOAT_EQ(sun.rgb.g, 0.5f);
  EXPECT_NEAR(sun.direction.x, -1, 1e-6);
  EXPECT_NEAR(sun.direction.z, 0, 1e-6);

  ASSERT_EQ(out.scene.camera.count, 1);
  const Camera& camera = out.scene.camera.items[0];
  EXPECT_FLOAT_EQ(camera.viewAngle, 45);
  EXPECT_FLOAT_EQ(camera.hither, 0.5f);
  EXPECT_GT(camera.yon, camera.hither);  // infinite far plane made finite
  EXPECT_FLOAT_EQ(camera.location.z, 3);
  EXPECT_FLOAT_EQ(camera.aim.z, 2);
  EXPECT_FLOAT_EQ(camera.lookupVector.y, 1);

  bool warnedPoint = false;
  for (const std::string& w : status.warnings) warnedPoint |= w.find("point") != std::string::npos;
  EXPECT_TRUE(warnedPoint);
}

TEST(GltfImport, SparseNormalisedAndStridedAccessorsReadAsGltfDefinesThem) {
  GltfDoc doc;
  // Positions: three zeros by default, the second replaced through a sparse substitution.
  const int sparseIndices = doc.View(std::vector<uint8_t>{1, 0, 0, 0});
  const int sparseValues = doc.View(std::vector<float>{5, 6, 7});
  json positions = {{"componentType", 5126},
                    {"count", 3},
                    {"type", "VEC3"},
                    {"sparse",
                     {{"count", 1},
                      {"indices", {{"bufferView", sparseIndices}, {"componentType", 5121}}},
                      {"values", {{"bufferView", sparseValues}}}}}};
  doc.json["accessors"].push_back(positions);
  // uvs as normalised unsigned shorts with a stride of 8 (4 bytes of padding each).
  const int uvView =
      doc.View(std::vector<uint16_t>{65535, 0, 9, 9, 0, 32768, 9, 9, 65535, 65535, 9, 9}, 8);
  const int uvs = doc.Accessor(uvView, 5123, 3, "VEC2", true);
  const int mesh = doc.Mesh({{"POSITION", 0}, {"TEXCOORD_0", uvs}});
  doc.Node({{"mesh", mesh}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  const Body& body = out.scene.objects.items[0];
  EXPECT_FLOAT_EQ(body.vertices.items[1].y, 6);
  EXPECT_FLOAT_EQ(body.vertices.items[0].x, 0);
  EXPECT_FLOAT_EQ(body.uvs.items[0].u, 1);
  EXPECT_FLOAT_EQ(body.uvs.items[1].v, 32768 / 65535.0f);
  EXPECT_FLOAT_EQ(body.uvs.items[2].v, 1);
}

TEST(GltfImport, NamesBecomeUniqueQuotedTokensWithAWarning) {
  GltfDoc doc;
  const int positions = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  const int mesh = doc.Mesh({{"POSITION", positions}});
  for (const char* name : {"a b", "a_b", "say \"hi\"", ""})
    doc.Node({{"name", name}, {"mesh", mesh}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(out.scene.objects.count, 4);
  EXPECT_EQ(out.scene.objects.items[0].name, "\"a_b\"");
  EXPECT_EQ(out.scene.objects.items[1].name, "\"a_b_2\"");
  EXPECT_EQ(out.scene.objects.items[2].name, "\"say__hi_\"");
  EXPECT_EQ(out.scene.objects.items[3].name, "\"node3\"");
  EXPECT_EQ(status.warnings.size(), 3u);
}

TEST(GltfImport, MoreThanAHundredBodiesWarns) {
  GltfDoc doc;
  const int mesh = doc.Mesh({{"POSITION", doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3")}});
  for (int i = 0; i < 101; ++i) doc.Node({{"name", "n" + std::to_string(i)}, {"mesh", mesh}});
  ImportedScene out;
  const Status status = ImportText(doc.Text(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(out.scene.objects.count, 101);
  ASSERT_EQ(status.warnings.size(), 1u);
  EXPECT_NE(status.warnings[0].find("101 bodies"), std::string::npos);
}

// Every welded corner of every body whose normals the export keeps: its position and uv bit
// for bit, its normal's direction within 1e-6.
void ExpectCornersSurvive(const Scene& scene, const ImportedScene& back) {
  ASSERT_EQ(back.scene.objects.count, scene.objects.count);
  for (int32_t b = 0; b < scene.objects.count; ++b) {
    const Body& before = scene.objects.items[b];
    const Body& after = back.scene.objects.items[b];
    SCOPED_TRACE("body " + before.name);
    EXPECT_EQ(after.name, before.name);
    ASSERT_EQ(after.faces.count, before.faces.count);
    const bool uvs = before.uvs.count > 0;
    const bool normals = before.normals.count > 0;
    ASSERT_EQ(after.uvs.count > 0, uvs);
    ASSERT_EQ(after.normals.count > 0, normals);
    for (int32_t f = 0; f < before.faces.count; ++f) {
      const Face& was = before.faces.items[f];
      const Face& is = after.faces.items[f];
      for (int k = 0; k < 3; ++k) {
        const Vector3& p0 = before.vertices.items[was.triple1[k]];
        const Vector3& p1 = after.vertices.items[is.triple1[k]];
        ASSERT_EQ(std::bit_cast<uint32_t>(p0.x), std::bit_cast<uint32_t>(p1.x)) << "face " << f;
        ASSERT_EQ(std::bit_cast<uint32_t>(p0.y), std::bit_cast<uint32_t>(p1.y)) << "face " << f;
        ASSERT_EQ(std::bit_cast<uint32_t>(p0.z), std::bit_cast<uint32_t>(p1.z)) << "face " << f;
        if (uvs) {
          const Vector2& t0 = before.uvs.items[was.triple3[k]];
          const Vector2& t1 = after.uvs.items[is.triple3[k]];
          ASSERT_EQ(std::bit_cast<uint32_t>(t0.u), std::bit_cast<uint32_t>(t1.u)) << "face " << f;
          ASSERT_EQ(std::bit_cast<uint32_t>(t0.v), std::bit_cast<uint32_t>(t1.v)) << "face " << f;
        }
        if (normals) {
          const Vector3& n0 = before.normals.items[was.triple2[k]];
          const Vector3& n1 = after.normals.items[is.triple2[k]];
          const double length =
              std::sqrt(double(n0.x) * n0.x + double(n0.y) * n0.y + double(n0.z) * n0.z);
          ASSERT_NEAR(n1.x, n0.x / length, 1e-6) << "face " << f;
          ASSERT_NEAR(n1.y, n0.y / length, 1e-6) << "face " << f;
          ASSERT_NEAR(n1.z, n0.z / length, 1e-6) << "face " << f;
        }
      }
    }
  }
}

// Generated scenes (several bodies, with and without normals and uvs) through the export as
// .glb and the import back.
class GeneratedScenes : public ::testing::TestWithParam<const char*> {};

TEST_P(GeneratedScenes, EveryCornerSurvivesExportAndImport) {
  TempDir dir;
  const auto made = testing::RunProgram(
      "python3", dir.root().string(),
      "'" + std::string(SCENEIO_SOURCE_DIR) + "/bench/make-scene' --out dork " + GetParam());
  ASSERT_EQ(made.status, 0) << made.out;
  Scene scene;
  ASSERT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  const std::string glb = (dir.root() / "scene.glb").string();
  const Status written = WriteGltf(scene, ExportOptions{}, glb);
  ASSERT_TRUE(written.ok()) << written.message;
  ImportedScene back;
  const Status status = ImportGltf(glb, back);
  ASSERT_TRUE(status.ok()) << status.message;
  ExpectCornersSurvive(scene, back);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GeneratedScenes,
    ::testing::Values("--triangles 900 --bodies 4 --seed 3",
                      "--triangles 600 --bodies 3 --seed 5 --no-uvs",
                      "--triangles 600 --bodies 3 --seed 7 --no-normals",
                      "--triangles 400 --bodies 2 --seed 11 --no-normals --no-uvs"),
    [](const auto& info) { return "Row" + std::to_string(info.index); });

// The sample through the export and back: every corner as above, the material each body wore
// and its texture.
TEST(GltfImport, SampleSurvivesExportAndImport) {
  Scene scene;
  std::string sample = std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/dork.grp";
  std::replace(sample.begin(), sample.end(), '/', '\\');
  ASSERT_EQ(scene.Load(sample.c_str()), 0);
  TempDir dir;
  ExportOptions options;
  options.bodyMaterials = {{"\"cube\"", "\"brick\""}, {"\"pyramid\"", "\"glass\""}};
  const std::string glb = (dir.root() / "sample.glb").string();
  const Status written = WriteGltf(scene, options, glb);
  ASSERT_TRUE(written.ok()) << written.message;
  ImportedScene back;
  const Status status = ImportGltf(glb, back);
  ASSERT_TRUE(status.ok()) << status.message;
  ExpectCornersSurvive(scene, back);
  ASSERT_EQ(back.bodyMaterials.size(), 2u);
  EXPECT_EQ(back.bodyMaterials[0],
            std::make_pair(std::string("\"cube\""), std::string("\"brick\"")));
  EXPECT_EQ(back.bodyMaterials[1],
            std::make_pair(std::string("\"pyramid\""), std::string("\"glass\"")));
  // The brick texture: its header's size, written out as it came.
  const Material& brick = back.scene.materials.items[0];
  EXPECT_EQ(brick.textureName, "\"brick.png\"");
  EXPECT_EQ(brick.textureWidth, 64);
  EXPECT_EQ(brick.textureChannels, 3);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(std::string(back.images[0].bytes.begin(), back.images[0].bytes.end()),
            testing::ReadBytes(std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/brick.png"));
}

// --- refusals ------------------------------------------------------------------------------

struct BadRow {
  const char* name;
  std::string (*document)();  // the .gltf text, written as model.gltf in a fresh folder
  const char* message;        // part of the refusal's message
};

std::string TriangleWith(json accessorChange, json viewChange = json::object()) {
  GltfDoc doc;
  const int positions = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  doc.json["accessors"][positions].update(accessorChange);
  doc.json["bufferViews"][0].update(viewChange);
  doc.Node({{"mesh", doc.Mesh({{"POSITION", positions}})}});
  return doc.Text();
}

std::string ExternalBuffer(const char* uri) {
  json doc = json::parse(TriangleWith(json::object()));
  doc["buffers"][0]["uri"] = uri;
  return doc.dump();
}

std::string ExternalImage(const char* uri) {
  json doc = json::parse(TriangleWith(json::object()));
  doc["images"] = {{{"uri", uri}}};
  return doc.dump();
}

const BadRow kBadRows[] = {
    {"two_billion_elements_over_twelve_bytes",
     [] {
       return TriangleWith({{"count", 2000000000}});
     },
     "do not fit in buffer view 0"},
    {"no_view_claims_two_billion",
     [] {
       return TriangleWith({{"count", 2000000000},
                            {"bufferView", nullptr},
                            {"sparse",
                             {{"count", 0},
                              {"indices", {{"bufferView", 0}, {"componentType", 5125}}},
                              {"values", {{"bufferView", 0}}}}}});
     },
     "more values than a document of this size may"},
    {"view_past_buffer",
     [] {
       return TriangleWith(json::object(), {{"byteLength", 400}});
     },
     "runs past the end of buffer 0"},
    {"stride_shorter_than_element",
     [] {
       return TriangleWith(json::object(), {{"byteStride", 4}});
     },
     "stride 4 is shorter"},
    {"buffer_up_and_out", [] { return ExternalBuffer("../secret.bin"); }, "holds \"..\""},
    {"buffer_absolute", [] { return ExternalBuffer("/etc/passwd"); }, "is an absolute path"},
    {"buffer_escaped_dots", [] { return ExternalBuffer("%2e%2e/secret.bin"); }, "holds \"..\""},
    {"buffer_link_out", [] { return ExternalBuffer("link.bin"); }, "link leading out"},
    {"image_up_and_out", [] { return ExternalImage("../secret.png"); }, "holds \"..\""},
    {"image_link_out", [] { return ExternalImage("link.bin"); }, "link leading out"},
    {"cycle",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["nodes"] = {{{"children", {1}}}, {{"children", {0}}}};
       doc["scenes"] = {{{"nodes", {0}}}};
       return doc.dump();
     },
     "cycle"},
    {"shared_child",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["nodes"] = {{{"children", {2}}}, {{"children", {2}}}, {{"mesh", 0}}};
       doc["scenes"] = {{{"nodes", {0, 1}}}};
       return doc.dump();
     },
     "reached twice"},
    {"index_outside_vertices",
     [] {
       GltfDoc doc;
       const int mesh = doc.Mesh({{"POSITION", doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3")}},
                                 doc.Indices({0, 1, 3}));
       doc.Node({{"mesh", mesh}});
       return doc.Text();
     },
     "index 3 (element 2) is outside its 3 vertices"},
    {"position_not_finite",
     [] {
       GltfDoc doc;
       const float inf = std::numeric_limits<float>::infinity();
       doc.Node(
           {{"mesh", doc.Mesh({{"POSITION", doc.Floats({0, 0, 0, inf, 0, 0, 0, 1, 0}, "VEC3")}})}});
       return doc.Text();
     },
     "position 1 is not finite"},
    {"normal_not_finite",
     [] {
       GltfDoc doc;
       const int p = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
       const int n = doc.Floats({0, 0, 1, 0, 0, 1, 0, std::nanf(""), 1}, "VEC3");
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}, {"NORMAL", n}})}, {"scale", {2, 2, 2}}});
       return doc.Text();
     },
     "normal 2 is not finite"},
    {"uv_not_finite",
     [] {
       GltfDoc doc;
       const float inf = std::numeric_limits<float>::infinity();
       const int p = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
       const int uv = doc.Floats({0, 0, 1, -inf, 0, 1}, "VEC2");
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}, {"TEXCOORD_0", uv}})}});
       return doc.Text();
     },
     "uv 1 is not finite"},
    {"position_not_finite_once_placed",
     [] {
       GltfDoc doc;
       const int p = doc.Floats({0, 0, 0, 1e30f, 0, 0, 0, 1, 0}, "VEC3");
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}})}, {"scale", {1e30, 1, 1}}});
       return doc.Text();
     },
     "position 1 is not finite once placed in the world"},
    {"substituted_index_outside_vertices",
     [] {
       GltfDoc doc;
       const int p = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
       const int base = doc.View(std::vector<uint16_t>{0, 1, 2, 0, 1, 2});
       const int indices = SparseIndices(doc, base, {4}, {7});
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}}, indices)}});
       return doc.Text();
     },
     "index 7 (element 4) is outside its 3 vertices"},
    {"normal_count_differs",
     [] {
       GltfDoc doc;
       const int p = doc.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
       const int n = doc.Floats({0, 0, 1}, "VEC3");
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}, {"NORMAL", n}})}});
       return doc.Text();
     },
     "NORMAL has 1 elements where POSITION has 3"},
    {"sparse_index_outside",
     [] {
       GltfDoc doc;
       const int idx = doc.View(std::vector<uint32_t>{7});
       const int val = doc.View(std::vector<float>{1, 2, 3});
       doc.json["accessors"].push_back(
           {{"componentType", 5126},
            {"count", 3},
            {"type", "VEC3"},
            {"sparse",
             {{"count", 1},
              {"indices", {{"bufferView", idx}, {"componentType", 5125}}},
              {"values", {{"bufferView", val}}}}}});
       doc.Node({{"mesh", doc.Mesh({{"POSITION", 0}})}});
       return doc.Text();
     },
     "sparse index 7 is outside its 3 elements"},
    {"image_view_past_buffer",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", 30}, {"byteLength", 4000}});
       doc["images"] = {{{"bufferView", 1}, {"mimeType", "image/png"}}};
       return doc.dump();
     },
     "runs past the end of its buffer"},
    {"compressed_geometry_required",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["extensionsUsed"] = doc["extensionsRequired"] = {"KHR_draco_mesh_compression"};
       return doc.dump();
     },
     "requires extension \"KHR_draco_mesh_compression\", which this reader does not read"},
    {"unknown_extension_required",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["extensionsUsed"] = doc["extensionsRequired"] = {"EXT_meshopt_compression"};
       return doc.dump();
     },
     "requires extension \"EXT_meshopt_compression\""},
    {"not_json", [] { return std::string("{\"asset\": {\"version\": \"2.0\"}, "); },
     "not a glTF 2.0 document"},
    {"truncated_glb", [] { return std::string("glTF\x02\0\0\0\x40\0\0\0", 12); },
     "not a glTF 2.0 document"},
};

class GltfRefusals : public ::testing::TestWithParam<BadRow> {};

TEST_P(GltfRefusals, StopWithTheElementAndWhy) {
  TempDir outside;
  outside.Write("secret.bin", std::string(36, 'x'));
  TempDir dir;
  std::filesystem::create_symlink(outside.root() / "secret.bin", dir.root() / "link.bin");
  const std::filesystem::path path = dir.Write("model.gltf", GetParam().document());
  ImportedScene out;
  const Status status = ImportGltf(path.string(), out);
  EXPECT_EQ(status.code, StatusCode::kInvalidInput);
  EXPECT_NE(status.message.find(GetParam().message), std::string::npos) << status.message;
  EXPECT_EQ(status.message.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rows, GltfRefusals, ::testing::ValuesIn(kBadRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Habits of other tools' files that the import passes over, telling what it left out, while
// the rest comes in as it would without them.
struct HabitRow {
  const char* name;
  std::string (*document)();  // written as model.gltf beside "my brick.png"
  const char* warning;        // part of a warning, or empty for none at all
  void (*check)(const ImportedScene& out);
};

std::string TexturedTriangle(const char* uri, json textureInfo = json::object()) {
  json doc = json::parse(TriangleWith(json::object()));
  doc["images"] = {{{"uri", uri}}};
  doc["textures"] = {{{"source", 0}}};
  textureInfo["index"] = 0;
  doc["materials"] = {{{"pbrMetallicRoughness", {{"baseColorTexture", textureInfo}}}}};
  doc["meshes"][0]["primitives"][0]["material"] = 0;
  return doc.dump();
}

const HabitRow kHabitRows[] = {
    {"escaped_image_uri_names_the_file_decoded", [] { return TexturedTriangle("my%20brick.png"); },
     "",
     [](const ImportedScene& out) {
       ASSERT_EQ(out.images.size(), 1u);
       EXPECT_EQ(out.images[0].fileName, "my_brick.png");
       EXPECT_EQ(out.scene.materials.items[0].textureWidth, 64);
     }},
    {"texture_transform_is_told",
     [] {
       json doc = json::parse(TexturedTriangle(
           "my%20brick.png", {{"extensions", {{"KHR_texture_transform", {{"scale", {2, 2}}}}}}}));
       doc["extensionsUsed"] = doc["extensionsRequired"] = {"KHR_texture_transform"};
       return doc.dump();
     },
     "extensions left out (what they add is not imported): \"KHR_texture_transform\"",
     [](const ImportedScene& out) { EXPECT_EQ(out.images.size(), 1u); }},
    {"quantized_positions_read_as_numbers",
     [] {
       GltfDoc doc;
       const int p = doc.Accessor(doc.View(std::vector<int16_t>{0, 0, 0, 100, 0, 0, 0, -100, 0, 0}),
                                  5122, 3, "VEC3");
       doc.json["extensionsUsed"] = doc.json["extensionsRequired"] = {"KHR_mesh_quantization"};
       doc.Node({{"mesh", doc.Mesh({{"POSITION", p}})}});
       return doc.Text();
     },
     "",
     [](const ImportedScene& out) {
       ASSERT_EQ(out.scene.objects.count, 1);
       EXPECT_EQ(out.scene.objects.items[0].vertices.items[1].x, 100);
       EXPECT_EQ(out.scene.objects.items[0].vertices.items[2].y, -100);
     }},
    {"skinned_mesh_stands_in_its_bind_pose",
     [] {
       json doc = json::parse(TriangleWith(json::object()));
       doc["nodes"] = {{{"mesh", 0}, {"skin", 0}, {"translation", {5, 0, 0}}}, {{"name", "joint"}}};
       doc["skins"] = {{{"joints", {1}}}};
       doc["scenes"] = {{{"nodes", {0, 1}}}};
       return doc.dump();
     },
     "node 0: skin 0 left out: the mesh is taken in its bind pose",
     [](const ImportedScene& out) {
       ASSERT_EQ(out.scene.objects.count, 1);
       EXPECT_EQ(out.scene.objects.items[0].vertices.items[1].x, 1);
     }},
};

class GltfHabits : public ::testing::TestWithParam<HabitRow> {};

TEST_P(GltfHabits, ImportWhatTheyCanAndTellTheRest) {
  TempDir dir;
  dir.Write("my brick.png",
            testing::ReadBytes(std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/brick.png"));
  const std::filesystem::path path = dir.Write("model.gltf", GetParam().document());
  ImportedScene out;
  const Status status = ImportGltf(path.string(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  std::string warnings;
  for (const std::string& warning : status.warnings) warnings += warning + "\n";
  if (*GetParam().warning == 0) {
    EXPECT_EQ(warnings, "");
  } else {
    EXPECT_NE(warnings.find(GetParam().warning), std::string::npos) << warnings;
  }
  GetParam().check(out);
}

INSTANTIATE_TEST_SUITE_P(Rows, GltfHabits, ::testing::ValuesIn(kHabitRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GltfImport, ABufferBesideTheDocumentIsRead) {
  TempDir dir;
  json doc = json::parse(TriangleWith(json::object()));
  GltfDoc probe;
  probe.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  dir.Write("sub/tri.bin", probe.bin);
  doc["buffers"][0]["uri"] = "sub/tri.bin";
  const auto path = dir.Write("model.gltf", doc.dump());
  ImportedScene out;
  const Status status = ImportGltf(path.string(), out);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_FLOAT_EQ(out.scene.objects.items[0].vertices.items[2].y, 1);
}

}  // namespace
}  // namespace sceneio
