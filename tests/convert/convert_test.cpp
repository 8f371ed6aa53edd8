// A whole conversion: which entries dress the bodies, how typed names are found, and which
// messages name the pair a person typed.
#include "sceneio/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::SampleGroupPath;
using testing::TempDir;
using Pairs = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kObj =
    "mtllib m.mtl\no tri\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
    "o quad\nusemtl blue\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nf 4 5 6 7\n";
constexpr const char* kMtl = "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n";

// "body=material,body=material" as pairs.
Pairs PairsOf(std::string_view text) {
  Pairs pairs;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(',', start), text.size());
    const std::string_view pair = text.substr(start, end - start);
    const size_t equals = pair.find('=');
    pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    start = end + 1;
  }
  return pairs;
}

struct ConvertRow {
  const char* name;
  bool model;             // the OBJ above as model.OBJ, else the sample scene
  const char* output;     // under the temporary folder
  const char* materials;  // typed, as PairsOf reads them
  TypedNames names;
  const char* refusal;  // the start of a kBadOptions message; empty: written
  const char* entries;  // of a .grp written, as tokens
};

constexpr TypedNames kShown = TypedNames::kShown;

const ConvertRow kRows[] = {
    {"SampleCarriesItsEntries", false, "out/a.grp", "", kShown, "",
     R"("cube"="brick","pyramid"="glass")"},
    {"TypedPairGoesOverTheEntry", false, "out/a.grp", "cube=glass", kShown, "",
     R"("pyramid"="glass","cube"="glass")"},
    {"MissingMaterialNamesItsPair", false, "a.grp", "pyramid=glass,cube=gold", kShown,
     R"(materials[1]: the scene has no material "gold")", ""},
    // The export sees the two entries first: the message still counts the typed pairs only.
    {"MissingBodyNamesItsPairAfterTheEntries", false, "a.glb", "pyramid=glass,ball=brick", kShown,
     R"(materials[1]: the scene has no body "ball")", ""},
    {"ShownNamesAreWithoutQuotes", false, "a.png", R"("cube"=brick)", kShown,
     R"(materials[0]: the scene has no body ""cube"")", ""},
    {"HeldTokensAreTakenWhenAsked", false, "a.png", R"("cube"=brick)", TypedNames::kHeldOrShown, "",
     ""},
    {"UnknownEndingIsRefused", false, "a.obj", "", kShown,
     "the output must end in .gltf, .glb, .png or .grp: ", ""},
    {"ModelBringsItsAssignments", true, "m/a.grp", "", kShown, "", R"("tri"="red","quad"="blue")"},
    {"ModelAssignmentTakesATypedPairOver", true, "a.grp", "quad=red", kShown, "",
     R"("tri"="red","quad"="red")"},
};

class ConvertTable : public ::testing::TestWithParam<ConvertRow> {};

TEST_P(ConvertTable, WritesWhatTheEntriesAndTypedPairsSay) {
  const ConvertRow& row = GetParam();
  TempDir dir;
  std::string input = SampleGroupPath();
  if (row.model) {
    dir.Write("in/m.mtl", kMtl);
    input = dir.Write("in/model.OBJ", kObj).string();
  }
  ConvertOptions options;
  options.materials = PairsOf(row.materials);
  options.names = row.names;
  options.width = 32;
  options.height = 24;
  const std::filesystem::path output = dir.root() / "out" / row.output;
  std::filesystem::create_directories(dir.root() / "out");
  const Status status = Convert(input, output.string(), options);
  const bool written = *row.refusal == 0;
  EXPECT_EQ(status.code, written ? StatusCode::kOk : StatusCode::kBadOptions) << status.message;
  EXPECT_TRUE(status.message.starts_with(row.refusal)) << status.message;
  EXPECT_EQ(std::filesystem::exists(output), written);
  if (!status.ok() || !output.string().ends_with(".grp")) return;
  Scene back;
  // The loader takes a backslash as the separator before the group file's name.
  const std::string group = output.parent_path().string() + "\\" + output.filename().string();
  ASSERT_TRUE(LoadScene(back, group.c_str()).ok());
  std::vector<BodyMaterial> entries;
  ASSERT_TRUE(GroupBodyMaterials(back, entries).ok());
  Pairs carried;
  for (const BodyMaterial& entry : entries) carried.emplace_back(entry.body, entry.material);
  EXPECT_EQ(carried, PairsOf(row.entries));
}

INSTANTIATE_TEST_SUITE_P(Rows, ConvertTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertRead, SaysWhatStoppedTheLoadOrTheModel) {
  TempDir dir;
  ConvertSource group;
  Status status = ReadConvertSource(dir.GroupPath(), 1, group);
  EXPECT_EQ(status.code, StatusCode::kLoadFailed);
  EXPECT_TRUE(status.message.starts_with("the load failed: ")) << status.message;
  const std::string model = dir.Write("bad.glb", "not a model").string();
  ConvertSource imported;
  status = ReadConvertSource(model, 1, imported);
  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(status.message.starts_with(model + ": ")) << status.message;
}

}  // namespace
}  // namespace sceneio
