// scene-convert writing an imported model as the five files: the written scene loads as the
// import left it, carries the model's body-material entries and its textures, and converts
// back with no options to what the model itself converts to.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "import/gltf_doc.h"
#include "sceneio/dump.h"
#include "sceneio/import.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "support/gltf_read.h"
#include "support/jpeg_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;

const fs::path kExamples = fs::path(SCENEIO_SOURCE_DIR) / "examples";

// The dump names the files a scene came from; an imported scene came from none.
std::string DumpWithoutFiles(const Scene& scene) {
  std::string dump = SceneJson(scene, 0);
  const size_t from = dump.find(",\n  \"files\": ");
  const size_t to = dump.find(",\n  \"lights\": ");
  if (from != std::string::npos && to != std::string::npos) dump.erase(from, to - from);
  return dump;
}

std::string Unquoted(const std::string& token) {
  return token.size() >= 2 && token.front() == '"' ? token.substr(1, token.size() - 2) : token;
}

// Each row writes its model into `in/` of a fresh folder and returns its file name.
struct ModelRow {
  const char* name;
  std::string (*make)(const TempDir& dir);
  size_t bodyMaterials;  // entries the model gives
  size_t images;         // textures written beside the output
};

std::string SampleGlb(const TempDir& dir) {
  fs::create_directories(dir.root() / "in");
  const auto run = RunProgram(SCENE_CONVERT_PATH, kExamples.string(),
                              "dork/dork.grp '" + (dir.root() / "in/model.glb").string() + "'");
  EXPECT_EQ(run.status, 0);
  return "model.glb";
}

std::string TexturedObj(const TempDir& dir) {
  dir.Write("in/brick.png", ReadBytes(kExamples / "dork/brick.png"));
  dir.Write("in/mesh.mtl",
            "newmtl wall\nKd 0.8 0.4 0.2\nKs 0.1 0.1 0.1\nNs 12\nmap_Kd brick.png\n"
            "newmtl glass\nKd 0.2 0.4 0.6\nd 0.25\nKe 0 0.1 0.2\n");
  dir.Write("in/mesh.obj",
            "mtllib mesh.mtl\n"
            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 0.5 1\n"
            "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 0.7071 0.7071\n"
            "o box\nusemtl wall\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
            "usemtl glass\nf 1/1/2 2/2/2 5/3/2\n"
            "o roof\nusemtl glass\nf 3/3/2 4/4/2 5/1/2\n");
  return "mesh.obj";
}

// Names to mend (a space, the keyword), a JPEG held in the buffer, a light and a camera.
std::string JpegGltf(const TempDir& dir) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 8 * 4; ++i) rgb.insert(rgb.end(), {uint8_t(i * 8), 90, uint8_t(255 - i)});
  const std::string jpeg = testing::JpegOf(rgb, 8, 4);
  testing::GltfDoc doc;
  const int image = doc.View(std::vector<char>(jpeg.begin(), jpeg.end()));
  doc.json["images"] = {
      {{"bufferView", image}, {"mimeType", "image/jpeg"}, {"name", "wall photo"}}};
  doc.json["textures"] = {{{"source", 0}}};
  doc.json["materials"] = {
      {{"name", "GL_Shade"},
       {"pbrMetallicRoughness",
        {{"baseColorFactor", {0.9, 0.8, 0.7, 1}},
         {"roughnessFactor", 0.3},
         {"baseColorTexture", {{"index", 0}}}}}},
      {{"name", "dull paint"}, {"pbrMetallicRoughness", {{"roughnessFactor", 1}}}}};
  doc.json["extensionsUsed"] = {"KHR_lights_punctual"};
  doc.json["extensions"]["KHR_lights_punctual"]["lights"] = {
      {{"type", "directional"}, {"name", "low sun"}, {"intensity", 2}}};
  doc.json["cameras"] = {
      {{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}, {"zfar", 50}}}}};
  const int positions = doc.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
  const int uvs = doc.Floats({0, 0, 1, 0, 1, 1, 0, 1}, "VEC2");
  const int quad = doc.Indices({0, 1, 2, 0, 2, 3});
  const int wall = doc.Mesh({{"POSITION", positions}, {"TEXCOORD_0", uvs}}, quad, 4, 0);
  const int panel = doc.Mesh({{"POSITION", positions}}, quad, 4, 1);
  doc.Node({{"name", "front wall"}, {"mesh", wall}, {"translation", {0, 0, -2}}});
  doc.Node({{"name", "front wall"}, {"mesh", panel}, {"scale", {2, 2, 2}}});
  doc.Node({{"rotation", {-0.3826834, 0, 0, 0.9238795}},
            {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}});
  doc.Node({{"camera", 0}, {"translation", {0.5, 0.5, 4}}});
  dir.Write("in/model.gltf", doc.Text());
  return "model.gltf";
}

const ModelRow kModels[] = {
    {"the sample as a .glb (PNG texture, lights, camera)", SampleGlb, 2, 1},
    {"an OBJ with a material library and a PNG texture", TexturedObj, 3, 1},
    {"a .gltf with a JPEG in its buffer and names to mend", JpegGltf, 2, 1},
};

class ImportToScene : public ::testing::TestWithParam<ModelRow> {};

TEST_P(ImportToScene, WrittenSceneLoadsAsImportedAndConvertsBackWithItsMaterials) {
  const ModelRow& row = GetParam();
  TempDir dir;
  const std::string model = row.make(dir);
  const fs::path input = dir.root() / "in" / model;
  ImportedScene imported;
  const Status status = input.extension() == ".obj" ? ImportObj(input.string(), imported)
                                                    : ImportGltf(input.string(), imported);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(imported.bodyMaterials.size(), row.bodyMaterials);
  ASSERT_EQ(imported.images.size(), row.images);

  fs::create_directories(dir.root() / "out/m");
  const auto write =
      RunProgram(SCENE_CONVERT_PATH, dir.root().string(), "in/" + model + " out/m/m.grp 2>&1");
  ASSERT_EQ(write.status, 0) << write.out;

  // The group file: its includes, then the model's assignments in order.
  std::string group =
      "include \"m.lgt\"\ninclude \"m.cam\"\ninclude \"m.gmf\"\ninclude \"m.gof\"\n";
  for (const auto& [body, material] : imported.bodyMaterials) {
    group += "body-material " + body + " " + material + "\n";
  }
  EXPECT_EQ(ReadBytes(dir.root() / "out/m/m.grp"), group);
  for (const ImportedImage& image : imported.images) {
    EXPECT_EQ(ReadBytes(dir.root() / "out/m" / image.fileName),
              std::string(image.bytes.begin(), image.bytes.end()))
        << image.fileName;
  }

  // Loaded back, the scene is the one the import made, every record and field.
  Scene loaded;
  ASSERT_EQ(loaded.Load((dir.root().string() + "/out\\m\\m.grp").c_str()), 0);
  EXPECT_EQ(DumpWithoutFiles(loaded), DumpWithoutFiles(imported.scene));

  // With no options it converts to the bytes the model itself converts to, each body wearing
  // the material the model gave it.
  const auto direct =
      RunProgram(SCENE_CONVERT_PATH, dir.root().string(), "in/" + model + " direct.glb 2>&1");
  ASSERT_EQ(direct.status, 0) << direct.out;
  const auto back =
      RunProgram(SCENE_CONVERT_PATH, dir.root().string(), "out/m/m.grp back.glb 2>&1");
  ASSERT_EQ(back.status, 0) << back.out;
  EXPECT_EQ(ReadBytes(dir.root() / "back.glb"), ReadBytes(dir.root() / "direct.glb"));
  const testing::GltfFile gltf = testing::ReadGltf(dir.root() / "back.glb");
  std::map<std::string, std::string> worn;
  for (const auto& mesh : gltf.json["meshes"]) {
    const auto& primitive = mesh["primitives"][0];
    if (primitive.contains("material")) {
      worn[mesh["name"]] = gltf.json["materials"][primitive["material"].get<int>()]["name"];
    }
  }
  std::map<std::string, std::string> given;
  for (const auto& [body, material] : imported.bodyMaterials) {
    given[Unquoted(body)] = Unquoted(material);
  }
  EXPECT_EQ(worn, given);
}

INSTANTIATE_TEST_SUITE_P(Models, ImportToScene, ::testing::ValuesIn(kModels),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

}  // namespace
}  // namespace sceneio
