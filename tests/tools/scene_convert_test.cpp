// scene-convert as a program: exit status, its exact messages, and that nothing is left at
// OUTPUT (nor an earlier file there changed) unless the conversion succeeded.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/buffer_of.h"
#include "support/gltf_read.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;

struct Edit {
  const char* file;  // in dork/
  std::string from;  // replaced once; empty: the file is removed
  std::string to;
};

struct ConvertCase {
  const char* name;
  std::vector<Edit> edits;
  std::string args;
  int status;
  std::vector<std::string> lines;  // each must appear as a whole line of what it printed
};

const ConvertCase kCases[] = {
    {"sample as .glb", {}, "dork/dork.grp out.glb", 0, {}},
    {"sample as .gltf, backslashes in GROUP", {}, "'dork\\dork.grp' out.gltf", 0, {}},
    {"normal index out of range",
     {{"s.gof", "( 3, 3, 3) uv ( 0, 2, 3)", "( 3, 9, 3) uv ( 0, 2, 3)"}},
     "dork/dork.grp out.glb",
     1,
     {"scene-convert: dork\\s.gof: body \"cube\", face 7: normal index 9 is outside the 6 normals "
      "(second triple; --faces position,normal,uv --index-base 0)"}},
    {"index base 1 meets index 0",
     {},
     "--index-base 1 dork/dork.grp out.glb",
     1,
     {"scene-convert: dork\\s.gof: body \"cube\", face 0: position index 0 is outside the 8 "
      "vertices (first triple; --faces position,normal,uv --index-base 1)"}},
    {"another triple order",
     {},
     "--faces uv,position,normal dork/dork.grp out.gltf",
     1,
     {"scene-convert: dork\\s.gof: body \"cube\", face 2: uv index 4 is outside the 4 uvs"
      " (first triple; --faces uv,position,normal --index-base 0)"}},
    {"position that loads as infinity",
     {{"s.gof", "v -1 -1 -1,", "v 1e39 -1 -1,"}},
     "dork/dork.grp out.gltf",
     1,
     {"scene-convert: dork\\s.gof: body \"cube\": vertex 0 is not finite (inf -1 -1)"}},
    {"camera that cannot be one is left out",
     {{"s.cam", "view-angle 45", "view-angle 180"}},
     "dork/dork.grp out.glb",
     0,
     {"scene-convert: warning: camera left out: view-angle 180 is not between 0 and 180 "
      "degrees"}},
    {"camera aimed at itself",
     {{"s.cam", "aim 0 0.5 0", "aim 4 3 6"}},
     "dork/dork.grp out.glb",
     0,
     {"scene-convert: warning: camera left out: aim 4 3 6 equals location"}},
    {"light without a direction is left out",
     {{"s.lgt", "direction 0.75 -0.5 0.5", "direction 0 0 0"}},
     "dork/dork.grp out.glb",
     0,
     {"scene-convert: warning: light \"fill\" left out: direction 0 0 0 has zero length"}},
    {"missing texture is left out",
     {{"brick.png", "", ""}},
     "dork/dork.grp out.glb",
     0,
     {"scene-convert: warning: material \"brick\": texture \"brick.png\" left out: no such file "
      "beside the material file"}},
    {"load failed names the file",
     {{"s.cam", "", ""}},
     "dork/dork.grp out.glb",
     1,
     {"scene-convert: the load failed: dork\\s.cam could not be read"}},
    {"unknown material",
     {},
     "--material cube=stone dork/dork.grp out.glb",
     2,
     {"scene-convert: --material cube=stone: the scene has no material \"stone\""}},
    {"unknown body",
     {},
     "--material cone=glass dork/dork.grp out.glb",
     2,
     {"scene-convert: --material cone=glass: the scene has no body \"cone\""}},
    {"other ending",
     {},
     "dork/dork.grp out.obj",
     2,
     {"scene-convert: OUTPUT must end in .gltf, .glb, .png or .grp: out.obj"}},
    {"faces without position",
     {},
     "--faces uv,normal,none dork/dork.grp out.glb",
     2,
     {"scene-convert: --faces uv,normal,none: position must appear exactly once"}},
    {"faces with two words",
     {},
     "--faces position,uv dork/dork.grp out.glb",
     2,
     {"scene-convert: --faces position,uv: three words are needed, one per triple"}},
    {"index base 2",
     {},
     "--index-base 2 dork/dork.grp out.glb",
     2,
     {"scene-convert: --index-base must be 0 or 1: 2"}},
    {"material without a body",
     {},
     "--material =glass dork/dork.grp out.glb",
     2,
     {"scene-convert: --material =glass: BODY=MATERIAL expected"}},
    {"camera whose up is +Z: a note suggests --up z",
     {{"s.cam", "lookup-vector 0 1 0", "lookup-vector 0 0.2 1"}},
     "dork/dork.grp out.glb",
     0,
     {"scene-convert: note: the camera's lookup-vector 0 0.2 1 is nearer +Z than +Y: --up z "
      "turns the scene so that it stands upright in glTF viewers, whose up is +Y"}},
    {"up axis other than y or z",
     {},
     "--up x dork/dork.grp out.glb",
     2,
     {"scene-convert: --up must be y or z: x"}},
    {"no OUTPUT", {}, "dork/dork.grp", 2, {}},
};

std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    names.insert(entry.path().lexically_relative(dir).string());
  }
  return names;
}

bool HasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(SceneConvert, StatusMessagesAndFiles) {
  for (const ConvertCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    testing::WriteSampleCopy(dir);
    std::filesystem::copy_file(
        std::filesystem::path(SCENEIO_SOURCE_DIR) / "examples/dork/brick.png",
        dir.root() / "dork/brick.png");
    for (const Edit& edit : c.edits) {
      const std::filesystem::path file = dir.root() / "dork" / edit.file;
      if (edit.from.empty()) {
        std::filesystem::remove(file);
        continue;
      }
      std::string text = ReadBytes(file);
      const size_t at = text.find(edit.from);
      ASSERT_NE(at, std::string::npos) << edit.from;
      dir.Write(std::string("dork/") + edit.file, text.replace(at, edit.from.size(), edit.to));
    }
    // An earlier output at OUTPUT: replaced on success, untouched otherwise.
    for (const char* old : {"out.glb", "out.gltf", "out.bin"}) dir.Write(old, "earlier");
    const std::set<std::string> before = Listing(dir.root());

    const auto run = RunProgram(SCENE_CONVERT_PATH, dir.root().string(), c.args + " 2>&1");
    EXPECT_EQ(run.status, c.status) << run.out;
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(HasLine(run.out, line)) << run.out;
    }
    if (c.status != 0) {
      EXPECT_EQ(Listing(dir.root()), before);
      for (const char* old : {"out.glb", "out.gltf", "out.bin"}) {
        EXPECT_EQ(ReadBytes(dir.root() / old), "earlier") << old;
      }
      continue;
    }
    // A warning-free run prints nothing but notes.
    if (c.lines.empty()) {
      EXPECT_EQ(run.out.find("warning"), std::string::npos) << run.out;
    }
    const std::string output = c.args.substr(c.args.rfind(' ') + 1);
    const testing::GltfFile file = testing::ReadGltf(dir.root() / output);
    EXPECT_EQ(file.json["asset"]["version"], "2.0");
    EXPECT_EQ(file.json["meshes"].size(), 2u);
  }
}

// The sample's group file dresses the cube in brick and the pyramid in glass; --material goes
// over an entry for its body, and an entry naming what the scene lacks is left out with a warning.
TEST(SceneConvert, GroupEntriesDressTheBodiesAndMaterialOptionGoesOver) {
  const struct {
    const char* name;
    const char* group;  // empty: the sample's own
    const char* options;
    int cube;  // material index, or -1 for none
    int pyramid;
    const char* warning;
  } kRows[] = {
      {"the sample's entries", "", "", 0, 1, nullptr},
      {"an option over the cube's entry", "", "--material cube=glass", 1, 1, nullptr},
      {"no entries, one option",
       "include \"dork.lgt\" include \"dork.cam\" include \"dork.gmf\" "
       "include \"dork.gof\"\n",
       "--material pyramid=glass", -1, 1, nullptr},
      {"an entry naming a body the scene lacks",
       "include \"dork.lgt\" include \"dork.cam\" "
       "include \"dork.gmf\" include \"dork.gof\" body-material \"cone\" \"glass\" "
       "body-material \"cube\" \"brick\"\n",
       "", 0, -1,
       "scene-convert: warning: group file entry body-material \"cone\" \"glass\" left out: the "
       "scene has no body \"cone\""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    for (const char* name :
         {"dork.lgt", "dork.cam", "dork.gmf", "dork.gof", "dork.grp", "brick.png"}) {
      std::filesystem::copy_file(std::filesystem::path(SCENEIO_SOURCE_DIR) / "examples/dork" / name,
                                 dir.root() / name);
    }
    if (*row.group != '\0') dir.Write("dork.grp", row.group);
    const auto run = RunProgram(SCENE_CONVERT_PATH, dir.root().string(),
                                std::string(row.options) + " dork.grp m.glb 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    if (row.warning != nullptr) {
      EXPECT_TRUE(HasLine(run.out, row.warning)) << run.out;
    }
    const nlohmann::json doc = testing::ReadGltf(dir.root() / "m.glb").json;
    for (const auto& [mesh, material] : {std::pair{0, row.cube}, std::pair{1, row.pyramid}}) {
      const nlohmann::json& primitive = doc["meshes"][mesh]["primitives"][0];
      if (material < 0) {
        EXPECT_FALSE(primitive.contains("material")) << mesh;
      } else {
        EXPECT_EQ(primitive["material"], material) << mesh;
      }
    }
  }
}

// The sample made Z-up (the pyramid's apex along +Z, the camera's up +Z): with --up z the glTF
// stands it on +Y and its camera's up is +Y; without, it lies as written.
TEST(SceneConvert, UpZStandsAZUpSceneOnY) {
  TempDir dir;
  testing::WriteSampleCopy(dir);
  const std::pair<std::string, std::string> edits[] = {{"v -1 0 -1,", "v -1 1 0,"},
                                                       {"v 1 0 -1,", "v 1 1 0,"},
                                                       {"v 1 0 1,", "v 1 -1 0,"},
                                                       {"v -1 0 1,", "v -1 -1 0,"},
                                                       {"v 0 1.5 0,", "v 0 0 1.5,"}};
  std::string objects = ReadBytes(dir.root() / "dork/s.gof");
  const size_t pyramid = objects.find("body \"pyramid\"");
  ASSERT_NE(pyramid, std::string::npos);
  for (const auto& [from, to] : edits) {
    const size_t at = objects.find(from, pyramid);
    ASSERT_NE(at, std::string::npos) << from;
    objects.replace(at, from.size(), to);
  }
  dir.Write("dork/s.gof", objects);
  std::string camera = ReadBytes(dir.root() / "dork/s.cam");
  for (const auto& [from, to] :
       {std::pair<std::string, std::string>{"location 4 3 6", "location 4 -6 3"},
        {"aim 0 0.5 0", "aim 0 0 0.5"},
        {"lookup-vector 0 1 0", "lookup-vector 0 0 1"}}) {
    const size_t at = camera.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    camera.replace(at, from.size(), to);
  }
  dir.Write("dork/s.cam", camera);

  for (const bool turned : {false, true}) {
    SCOPED_TRACE(turned ? "--up z" : "no --up");
    const auto run =
        RunProgram(SCENE_CONVERT_PATH, dir.root().string(),
                   std::string(turned ? "--up z " : "") + "dork/dork.grp out.glb 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    const bool suggested = run.out.find("--up z turns the scene") != std::string::npos;
    EXPECT_EQ(suggested, !turned) << run.out;
    const nlohmann::json doc = testing::ReadGltf(dir.root() / "out.glb").json;
    const nlohmann::json& position =
        doc["accessors"][doc["meshes"][1]["primitives"][0]["attributes"]["POSITION"].get<int>()];
    // Standing on +Y: from 0 up to the apex at 1.5; lying: the apex along +Z.
    EXPECT_FLOAT_EQ(position["min"][turned ? 1 : 2].get<float>(), 0);
    EXPECT_FLOAT_EQ(position["max"][turned ? 1 : 2].get<float>(), 1.5f);
    // The camera node's rotation takes the camera's +Y (its up on screen) near world +Y.
    for (const nlohmann::json& node : doc["nodes"]) {
      if (!node.contains("camera")) continue;
      const double x = node["rotation"][0], y = node["rotation"][1], z = node["rotation"][2],
                   w = node["rotation"][3];
      const double upY = 1 - 2 * (x * x + z * z);  // y of the rotated (0, 1, 0)
      const double upZ = 2 * (y * z + w * x);      // z of it
      if (turned) {
        EXPECT_GT(upY, 0.9);
      } else {
        EXPECT_GT(upZ, 0.9);
      }
    }
  }
}

TEST(SceneConvert, HelpAndVersionOnStandardOutput) {
  const auto help = RunProgram(SCENE_CONVERT_PATH, ".", "--help 2>/dev/null");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("scene-convert [OPTIONS] GROUP OUTPUT"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--faces"), std::string::npos);
  const auto version = RunProgram(SCENE_CONVERT_PATH, ".", "--version 2>/dev/null");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "scene-convert " SCENEIO_VERSION "\n");
}

}  // namespace
}  // namespace sceneio
