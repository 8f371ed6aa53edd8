// The glTF writer: what it writes read back and checked against its own data (views inside the
// buffer, accessor bounds equal to the values), index width, extensions, and that a failure
// leaves nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "sceneio/gltf.h"
#include "support/buffer_of.h"
#include "support/gltf_read.h"

namespace sceneio {
namespace {

using nlohmann::json;
using testing::GltfFile;
using testing::ReadBytes;
using testing::ReadGltf;
using testing::TempDir;

size_t ComponentsOf(const std::string& type) {
  return type == "SCALAR" ? 1 : type == "VEC2" ? 2 : 3;
}

size_t ComponentBytes(int componentType) {
  return componentType == 5123 ? 2 : 4;
}

// The bytes of one accessor's elements, checked to lie inside its view and the view inside
// the buffer.
std::string AccessorBytes(const GltfFile& file, size_t accessor) {
  const json& a = file.json["accessors"][accessor];
  const json& view = file.json["bufferViews"][a["bufferView"].get<size_t>()];
  const size_t offset = view["byteOffset"].get<size_t>();
  const size_t length = view["byteLength"].get<size_t>();
  const size_t bytes = a["count"].get<size_t>() * ComponentsOf(a["type"]) *
                       ComponentBytes(a["componentType"].get<int>());
  EXPECT_EQ(offset % 4, 0u);
  EXPECT_LE(offset + length, file.json["buffers"][0]["byteLength"].get<size_t>());
  EXPECT_LE(file.json["buffers"][0]["byteLength"].get<size_t>(), file.bin.size());
  EXPECT_EQ(bytes, length) << "accessor " << accessor << " fills its view exactly";
  if (offset + bytes > file.bin.size()) return {};
  return file.bin.substr(offset, bytes);
}

std::vector<float> Floats(const std::string& bytes) {
  std::vector<float> values(bytes.size() / 4);
  std::memcpy(values.data(), bytes.data(), values.size() * 4);
  return values;
}

std::vector<uint32_t> Indices(const GltfFile& file, size_t accessor) {
  const std::string bytes = AccessorBytes(file, accessor);
  std::vector<uint32_t> indices;
  const bool shorts = file.json["accessors"][accessor]["componentType"] == 5123;
  for (size_t at = 0; at + (shorts ? 2 : 4) <= bytes.size(); at += shorts ? 2 : 4) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, shorts ? 2 : 4);
    indices.push_back(value);
  }
  return indices;
}

// Everything a reader relies on: bounds equal to the data, indices inside the vertices,
// normals of unit length, every node in the one scene exactly once.
void CheckStructure(const GltfFile& file) {
  for (const json& mesh : file.json.value("meshes", json::array())) {
    for (const json& primitive : mesh["primitives"]) {
      const json& attributes = primitive["attributes"];
      const size_t position = attributes["POSITION"].get<size_t>();
      const json& a = file.json["accessors"][position];
      const std::vector<float> values = Floats(AccessorBytes(file, position));
      const size_t count = a["count"].get<size_t>();
      ASSERT_EQ(values.size(), count * 3);
      for (int c = 0; c < 3; ++c) {
        float low = values[c], high = values[c];
        for (size_t i = 0; i < count; ++i) {
          low = std::min(low, values[i * 3 + c]);
          high = std::max(high, values[i * 3 + c]);
        }
        EXPECT_EQ(a["min"][c].get<float>(), low) << mesh["name"];
        EXPECT_EQ(a["max"][c].get<float>(), high) << mesh["name"];
      }
      if (attributes.contains("NORMAL")) {
        const std::vector<float> n = Floats(AccessorBytes(file, attributes["NORMAL"]));
        ASSERT_EQ(n.size(), count * 3);
        for (size_t i = 0; i < count; ++i) {
          const double length =
              std::sqrt(double(n[i * 3]) * n[i * 3] + double(n[i * 3 + 1]) * n[i * 3 + 1] +
                        double(n[i * 3 + 2]) * n[i * 3 + 2]);
          EXPECT_NEAR(length, 1, 1e-6);
        }
      }
      if (attributes.contains("TEXCOORD_0")) {
        EXPECT_EQ(Floats(AccessorBytes(file, attributes["TEXCOORD_0"])).size(), count * 2);
      }
      if (primitive.contains("indices")) {
        for (const uint32_t index : Indices(file, primitive["indices"])) EXPECT_LT(index, count);
      }
    }
  }
  std::multiset<size_t> inScene;
  for (const json& n : file.json["scenes"][0]["nodes"]) inScene.insert(n.get<size_t>());
  const size_t nodes = file.json.value("nodes", json::array()).size();
  EXPECT_EQ(inScene.size(), nodes);
  for (size_t n = 0; n < nodes; ++n) EXPECT_EQ(inScene.count(n), 1u);
}

void LoadSample(Scene& scene) {
  ASSERT_EQ(scene.Load(testing::SampleGroupPath().c_str()), 0);
}

const std::filesystem::path kBrick =
    std::filesystem::path(SCENEIO_SOURCE_DIR) / "examples/dork/brick.png";

TEST(GltfWriter, SampleInBothContainers) {
  Scene scene;
  LoadSample(scene);
  for (const char* name : {"sample.glb", "sample.gltf"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const Status result = WriteGltf(scene, {}, (dir.root() / name).string());
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(result.warnings.empty());
    const GltfFile file = ReadGltf(dir.root() / name);
    CheckStructure(file);
    const json& doc = file.json;
    EXPECT_EQ(doc["asset"]["version"], "2.0");
    EXPECT_EQ(doc["asset"]["generator"], "sceneio " SCENEIO_VERSION);
    EXPECT_EQ(doc["meshes"].size(), 2u);
    EXPECT_EQ(doc["materials"].size(), 2u);
    EXPECT_EQ(doc["extensions"]["KHR_lights_punctual"]["lights"].size(), 2u);
    EXPECT_EQ(doc["cameras"].size(), 1u);
    EXPECT_EQ(doc["nodes"].size(), 5u);
    EXPECT_EQ(doc["extensionsUsed"],
              json::array({"KHR_lights_punctual", "KHR_materials_specular"}));
    EXPECT_EQ(doc["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"], 0);
    // The cube's 12 triangles over 8 positions, 6 normals and 4 uvs: 24 distinct corners.
    EXPECT_EQ(
        doc["accessors"][doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<size_t>()]
           ["count"],
        24);
    const json& image = doc["images"][0];
    if (image.contains("bufferView")) {
      const json& view = doc["bufferViews"][image["bufferView"].get<size_t>()];
      EXPECT_EQ(image["mimeType"], "image/png");
      EXPECT_EQ(file.bin.substr(view["byteOffset"], view["byteLength"]), ReadBytes(kBrick));
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 1);
    } else {
      EXPECT_EQ(image["uri"], "sample_brick.png");
      EXPECT_EQ(ReadBytes(dir.root() / "sample_brick.png"), ReadBytes(kBrick));
      EXPECT_EQ(doc["buffers"][0]["uri"], "sample.bin");
    }
  }
}

// A body whose faces use `corners` distinct corners, each exactly once or twice.
void FillCorners(Scene& scene, int32_t corners) {
  scene.objectFile = std::make_unique<FileBuffer>();
  scene.objectFile->path = "many.gof";
  EXPECT_TRUE(scene.objects.Allocate(1));
  Body& body = scene.objects.items[0];
  body.name = "\"many\"";
  EXPECT_TRUE(body.vertices.Allocate(corners));
  for (int32_t i = 0; i < corners; ++i) body.vertices.items[i] = {float(i), float(i % 7), 0};
  const int32_t faces = (corners + 2) / 3;
  EXPECT_TRUE(body.faces.Allocate(faces));
  for (int32_t f = 0; f < faces; ++f) {
    for (int k = 0; k < 3; ++k) body.faces.items[f].triple1[k] = (3 * f + k) % corners;
  }
}

TEST(GltfWriter, IndexWidthAtTheRestartValue) {
  // 65535 is 16-bit's restart value, which an index accessor may not hold.
  const struct {
    int32_t corners;
    int componentType;
  } cases[] = {{65535, 5123}, {65536, 5125}, {3, 5123}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.corners);
    Scene scene;
    FillCorners(scene, c.corners);
    TempDir dir;
    const Status result = WriteGltf(scene, {}, (dir.root() / "m.glb").string());
    ASSERT_TRUE(result.ok()) << result.message;
    const GltfFile file = ReadGltf(dir.root() / "m.glb");
    const size_t indices = file.json["meshes"][0]["primitives"][0]["indices"];
    EXPECT_EQ(file.json["accessors"][indices]["componentType"], c.componentType);
    const std::vector<uint32_t> read = Indices(file, indices);
    ASSERT_EQ(read.size(), size_t((c.corners + 2) / 3 * 3));
    EXPECT_EQ(*std::max_element(read.begin(), read.end()), uint32_t(c.corners - 1));
    CheckStructure(file);
  }
}

TEST(GltfWriter, PointsAndEmptyBodies) {
  Scene scene;
  scene.objectFile = std::make_unique<FileBuffer>();
  ASSERT_TRUE(scene.objects.Allocate(2));
  scene.objects.items[0].name = "cloud";
  ASSERT_TRUE(scene.objects.items[0].vertices.Allocate(3));
  scene.objects.items[0].vertices.items[1] = {-2, 5, 0.25f};
  scene.objects.items[0].vertices.items[2] = {1, -1, 7};
  scene.objects.items[1].name = "nothing";
  TempDir dir;
  const Status result = WriteGltf(scene, {}, (dir.root() / "p.gltf").string());
  ASSERT_TRUE(result.ok()) << result.message;
  const GltfFile file = ReadGltf(dir.root() / "p.gltf");
  CheckStructure(file);
  const json& primitive = file.json["meshes"][0]["primitives"][0];
  EXPECT_EQ(primitive["mode"], 0);
  EXPECT_FALSE(primitive.contains("indices"));
  EXPECT_EQ(
      AccessorBytes(file, primitive["attributes"]["POSITION"]),
      std::string(reinterpret_cast<const char*>(scene.objects.items[0].vertices.items.get()), 36));
  EXPECT_EQ(file.json["nodes"][1], json({{"name", "nothing"}}));
  EXPECT_FALSE(file.json.contains("extensionsUsed"));
  EXPECT_FALSE(file.json.contains("materials"));
}

TEST(GltfWriter, ExtensionsListedOnlyWhenUsed) {
  const struct {
    const char* name;
    bool light;
    Color3 specular;
    json used;
  } cases[] = {
      {"neither", false, {0, 0, 0}, nullptr},
      {"light only", true, {0, 0, 0}, json::array({"KHR_lights_punctual"})},
      {"specular only", false, {0, 0.5f, 0}, json::array({"KHR_materials_specular"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    FillCorners(scene, 3);
    ASSERT_TRUE(scene.materials.Allocate(1));
    scene.materials.items[0].specular = c.specular;
    if (c.light) {
      ASSERT_TRUE(scene.lights.Allocate(1));
      scene.lights.items[0].direction = {0, -1, 0};
    }
    TempDir dir;
    ASSERT_TRUE(WriteGltf(scene, {}, (dir.root() / "e.glb").string()).ok());
    const json doc = ReadGltf(dir.root() / "e.glb").json;
    EXPECT_EQ(doc.contains("extensionsUsed") ? doc["extensionsUsed"] : json(), c.used);
    EXPECT_EQ(doc["materials"][0].contains("extensions"), c.specular.g > 0);
    // The only material goes on the only triangle body.
    EXPECT_EQ(doc["meshes"][0]["primitives"][0]["material"], 0);
  }
}

// One body of a triangle and one material per texture name, the textures found in `folder`.
void FillTextured(Scene& scene, const std::filesystem::path& folder,
                  const std::vector<const char*>& textures) {
  FillCorners(scene, 3);
  scene.materialFile = std::make_unique<FileBuffer>();
  scene.materialFile->directory = folder.string() + "\\";
  ASSERT_TRUE(scene.materials.Allocate(static_cast<int32_t>(textures.size())));
  for (size_t m = 0; m < textures.size(); ++m) scene.materials.items[m].textureName = textures[m];
}

// A textured material on a primitive without texture coordinates would be invalid glTF.
TEST(GltfWriter, TexturedMaterialOnABodyWithoutUvs) {
  TempDir dir;
  std::filesystem::create_directories(dir.root() / "scene");
  std::filesystem::copy_file(kBrick, dir.root() / "scene/brick.png");
  Scene scene;
  FillTextured(scene, dir.root() / "scene", {"\"brick.png\""});
  scene.materials.items[0].name = "\"brick\"";
  const Status result = WriteGltf(scene, {}, (dir.root() / "t.glb").string());
  ASSERT_TRUE(result.ok()) << result.message;
  const json doc = ReadGltf(dir.root() / "t.glb").json;
  ASSERT_EQ(doc["materials"].size(), 2u);
  EXPECT_EQ(doc["meshes"][0]["primitives"][0]["material"], 1);
  EXPECT_FALSE(doc["materials"][1]["pbrMetallicRoughness"].contains("baseColorTexture"));
  EXPECT_EQ(doc["materials"][1]["name"], "brick (untextured)");
}

// Beside a .gltf: one copy per texture file, shared by the materials that name it, each under
// a name no other copy has (two files may share a name in different folders); every file name
// percent-escaped in its URI.
TEST(GltfWriter, TextureCopiesAndUris) {
  TempDir dir;
  std::filesystem::create_directories(dir.root() / "scene/sub");
  std::filesystem::copy_file(kBrick, dir.root() / "scene/brick.png");
  std::filesystem::copy_file(kBrick, dir.root() / "scene/sub/brick.png");
  Scene scene;
  FillTextured(scene, dir.root() / "scene",
               {"\"brick.png\"", "\"sub/brick.png\"", "\"brick.png\""});
  const Status result = WriteGltf(scene, {}, (dir.root() / "out dir#1.gltf").string());
  ASSERT_TRUE(result.ok()) << result.message;
  const json doc = ReadGltf(dir.root() / "out dir#1.gltf").json;
  EXPECT_EQ(doc["buffers"][0]["uri"], "out%20dir%231.bin");
  ASSERT_EQ(doc["images"].size(), 2u);
  EXPECT_EQ(doc["images"][0]["uri"], "out%20dir%231_brick.png");
  EXPECT_EQ(doc["images"][1]["uri"], "out%20dir%231_2_brick.png");
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(doc["materials"][m]["pbrMetallicRoughness"]["baseColorTexture"]["index"], m % 2) << m;
  }
  EXPECT_EQ(ReadBytes(dir.root() / "out dir#1_brick.png"), ReadBytes(kBrick));
  EXPECT_EQ(ReadBytes(dir.root() / "out dir#1_2_brick.png"), ReadBytes(kBrick));
}

// A .glb holds its lengths in 32 bits: a texture that would take it past 4 GiB (a sparse file,
// so the test writes almost nothing) stops the conversion before anything is written.
TEST(GltfWriter, GlbPastFourGibIsRefused) {
  TempDir dir;
  const std::filesystem::path texture = dir.root() / "huge.png";
  std::filesystem::copy_file(kBrick, texture);
  std::filesystem::resize_file(texture, uint64_t{1} << 32);
  Scene scene;
  FillTextured(scene, dir.root(), {"huge.png"});
  const std::string output = (dir.root() / "out.glb").string();
  const Status result = WriteGltf(scene, {}, output);
  EXPECT_EQ(result.code, StatusCode::kWriteFailed);
  EXPECT_EQ(result.message, output + ": the scene is too large for one .glb (4 GiB); write .gltf");
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 1);
}

std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    names.insert(entry.path().lexically_relative(dir).string());
  }
  return names;
}

TEST(GltfWriter, FailureLeavesNothingBehind) {
  const struct {
    const char* name;
    const char* output;
    const char* blocker;  // made a directory before the write, so a file cannot go there
    bool outOfRange;
    StatusCode status;
    bool fresh;  // no file of an earlier conversion there
  } cases[] = {
      {"output is a directory", "out.glb", "out.glb", false, StatusCode::kWriteFailed, false},
      {".bin cannot be put in place", "out.gltf", "out.bin", false, StatusCode::kWriteFailed,
       false},
      {"texture copy cannot be put in place", "out.gltf", "out_brick.png", false,
       StatusCode::kWriteFailed, false},
      // The .bin and the texture copy are in place when the .gltf fails: they are taken away.
      {".gltf cannot be put in place, nothing there before", "out.gltf", "out.gltf", false,
       StatusCode::kWriteFailed, true},
      {"folder missing", "missing/out.glb", nullptr, false, StatusCode::kWriteFailed, false},
      {"index out of range", "out.glb", nullptr, true, StatusCode::kInvalidScene, false},
      {"index out of range, .gltf", "out.gltf", nullptr, true, StatusCode::kInvalidScene, false},
  };
  Scene scene;
  LoadSample(scene);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    // Files already there, as an earlier conversion left them: none may change.
    for (const char* old : {"out.glb", "out.gltf", "out.bin", "out_brick.png"}) {
      if (c.fresh) break;
      if (c.blocker == nullptr || std::string(old) != c.blocker) dir.Write(old, "earlier");
    }
    if (c.blocker != nullptr) std::filesystem::create_directory(dir.root() / c.blocker);
    const std::set<std::string> before = Listing(dir.root());
    Face& face = scene.objects.items[0].faces.items[3];
    const int32_t kept = face.triple1[0];
    if (c.outOfRange) face.triple1[0] = 8;
    const Status result = WriteGltf(scene, {}, (dir.root() / c.output).string());
    face.triple1[0] = kept;
    EXPECT_EQ(result.code, c.status) << result.message;
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(Listing(dir.root()), before);
    for (const std::string& name : before) {
      if (std::filesystem::is_regular_file(dir.root() / name)) {
        EXPECT_EQ(ReadBytes(dir.root() / name), "earlier") << name;
      }
    }
  }
}

TEST(GltfWriter, OutputEndings) {
  const struct {
    const char* path;
    GltfContainer container;
  } cases[] = {
      {"a.glb", GltfContainer::kGlb},    {"dir/a.gltf", GltfContainer::kGltf},
      {".glb", GltfContainer::kNone},    {"dir/.gltf", GltfContainer::kNone},
      {"a.GLB", GltfContainer::kNone},   {"a.glb.png", GltfContainer::kNone},
      {"a.gltf/", GltfContainer::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(GltfContainerOf(c.path), c.container);
  }
  Scene scene;
  FillCorners(scene, 3);
  TempDir dir;
  const Status result = WriteGltf(scene, {}, (dir.root() / "a.obj").string());
  EXPECT_EQ(result.code, StatusCode::kBadOptions);
  EXPECT_TRUE(Listing(dir.root()).empty());
}

}  // namespace
}  // namespace sceneio
