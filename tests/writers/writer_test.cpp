// What the writer refuses (and that it then writes nothing), what it writes for the borderline
// scenes it accepts, the float text the reader must take back bit for bit, and the group file.
#include "sceneio/writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

#include "io/token_reader.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "writers/text_out.h"
#include "writers/writers.h"

namespace sceneio {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// ---- Floats ----

constexpr float FromBits(uint32_t bits) {
  return std::bit_cast<float>(bits);
}

std::string Text(float value) {
  char out[kFloatTextMax];
  return {out, FloatText(value, out)};
}

constexpr struct {
  const char* name;
  float value;
  std::string_view text;  // what a person expects to read in the file
} kFloatRows[] = {
    {"zero", 0.0f, "0"},
    {"negative zero keeps its sign", -0.0f, "-0"},
    {"a short fraction", 0.1f, "0.1"},
    {"an integer", 1000.0f, "1000"},
    {"the smallest subnormal", FromBits(1), "1e-45"},
    {"the largest subnormal", FromBits(0x007FFFFF), "1.1754942e-38"},
    {"the largest float", FLT_MAX, "3.4028235e+38"},
    {"infinity overflows from a decimal", std::numeric_limits<float>::infinity(), "1e39"},
    {"negative infinity", -std::numeric_limits<float>::infinity(), "-1e39"},
    {"above 2^24 where floats are even integers", 16777218.0f, "16777218"},
    // 7.038531e-26 is the shortest decimal a correctly rounding reader takes back, but it lies
    // within a double's rounding of the midpoint below; this reader goes through double first.
    {"the one float whose shortest form rounds away through double", FromBits(0x15ae43fd),
     "7.0385307e-26"},
    {"and its negative", FromBits(0x95ae43fd), "-7.0385307e-26"},
};

TEST(FloatText, ReadsBackAsTheSameBitsInItsShortestForm) {
  for (const auto& row : kFloatRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Text(row.value), row.text);
    EXPECT_TRUE(ReadsBackAs(Text(row.value), row.value));
  }
}

// The reader rounds to double, then to float. Every float is tried at a stride that visits all
// exponents and many mantissas of each, both signs; each must come back bit for bit, and never
// in a form longer than the shortest decimal that a correctly rounding reader would need, unless
// that form does not come back through this reader.
TEST(FloatText, EveryFloatOfAWideSampleComesBackThroughTheReader) {
  int longer = 0;
  for (uint64_t bits = 0; bits < (uint64_t{1} << 32); bits += 65521) {
    const float value = FromBits(static_cast<uint32_t>(bits));
    if (std::isnan(value)) continue;
    const std::string text = Text(value);
    ASSERT_TRUE(ReadsBackAs(text, value)) << std::hex << bits << " as " << text;
    char shortest[kFloatTextMax];
    const auto length = static_cast<size_t>(
        std::to_chars(shortest, shortest + sizeof shortest, value).ptr - shortest);
    if (std::isinf(value)) continue;
    if (text.size() != length) {
      ++longer;
      EXPECT_FALSE(ReadsBackAs(std::string_view(shortest, length), value)) << std::hex << bits;
    }
  }
  EXPECT_LT(longer, 10);
}

// A decimal the reader does not take whole is no float text: these would read as another value.
TEST(FloatText, ReadsBackAsRequiresTheWholeText) {
  EXPECT_FALSE(ReadsBackAs("7.038531e-26", FromBits(0x15ae43fd)));
  EXPECT_FALSE(ReadsBackAs("1.5x", 1.5f));
  EXPECT_FALSE(ReadsBackAs("1e", 1.0f));
  EXPECT_FALSE(ReadsBackAs("0", -0.0f));
  EXPECT_TRUE(ReadsBackAs("-0", -0.0f));
}

// ---- Refusals ----

void MakeEmpty(Scene& scene) {
  EXPECT_TRUE(scene.materials.Allocate(0));
  EXPECT_TRUE(scene.objects.Allocate(0));
}

// One file's text placed beside empty files of the other kinds and loaded.
void LoadWith(const TempDir& dir, const char* extension, std::string_view text, Scene& scene) {
  dir.Write("dork/dork.grp",
            "include \"s.lgt\" include \"s.cam\" include \"s.gmf\" "
            "include \"s.gof\"\n");
  for (const char* kind : {".lgt", ".cam", ".gmf", ".gof"}) {
    dir.Write(std::string("dork/s") + kind, std::string_view(kind) == extension ? text : "");
  }
  ASSERT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
}

struct RefusalRow {
  const char* name;
  const char* extension;  // a file to load, or null for a scene built by `build`
  std::string_view text;
  void (*build)(Scene& scene);
  std::string_view klass;  // empty: written, and loads back the same
  std::string_view where;  // in the message: the record and field it names
};

void WithLight(Scene& scene, void (*edit)(Light&)) {
  ASSERT_TRUE(scene.lights.Allocate(1));
  scene.lights.items[0].name = "key";
  edit(scene.lights.items[0]);
}

void WithBody(Scene& scene, void (*edit)(Body&)) {
  ASSERT_TRUE(scene.objects.Allocate(1));
  scene.objects.items[0].name = "\"b\"";
  edit(scene.objects.items[0]);
}

const RefusalRow kRefusalRows[] = {
    // Loaded scenes.
    {"a material counted but never filled", ".gmf", "GL_Shade\n", nullptr, refusal::kUnreached,
     "material 0, field name"},
    {"a body out of two that the file ended before filling", ".gof",
     "body \"a\" ( vertices[] < v x 1 1, 0 0 1 > )\nbody \"b\" ( )\nbody \"c\" ( )\n", nullptr,
     refusal::kUnreached, "body 1, field name"},
    {"one last body cut short after \"body\" is written so",
     ".gof",
     "body \"a\" ( )\nbody\n",
     nullptr,
     {},
     {}},
    {"a face-part header cut short", ".gof", "body \"a\" ( face-parts[] < 2 \"x\"", nullptr,
     refusal::kFacePartsCutShort, "body 0 \"a\", field faceParts.secondName"},
    {"a material named GL_Shade", ".gmf", "material GL_Shade GL_Shade DIFFUSE-COLOR 1 1 1 )\n",
     nullptr, refusal::kCountedName, "material 0 GL_Shade, field name"},
    {"a texture named GL_Shade", ".gmf", "material m GL_Shade TEXTURE-MAP ( name GL_Shade ) )\n",
     nullptr, refusal::kCountedName, "material 0 m, field textureName"},
    {"no light list and no camera are written as none", ".lgt", "lights 0\n", nullptr, {}, {}},
    {"values read out of step are written as read",
     ".gof",
     "body \"a\" ( vertices[] < v 1 2 3 4, 0 0 1 > faces[] < tri ( 1 2 3 ) > )\n",
     nullptr,
     {},
     {}},
    // Scenes built in memory.
    {"an empty body name with arrays",
     nullptr,
     {},
     [](Scene& s) {
       WithBody(s, [](Body& b) {
         b.name.clear();
         EXPECT_TRUE(b.vertices.Allocate(1));
       });
     },
     refusal::kEmptyBodyName,
     "body 0, field name"},
    {"a light field no keyword fills",
     nullptr,
     {},
     [](Scene& s) { WithLight(s, [](Light& l) { l.extraInt = 5; }); },
     refusal::kNoKeyword,
     "light 0 key, field extraInt"},
    {"a camera name",
     nullptr,
     {},
     [](Scene& s) {
       ASSERT_TRUE(s.camera.Allocate(1));
       s.camera.items[0].name = "main";
     },
     refusal::kNoKeyword,
     "camera 0 main, field name"},
    {"the reserved member of a face-part set",
     nullptr,
     {},
     [](Scene& s) { WithBody(s, [](Body& b) { b.faceParts.reserved = 1; }); },
     refusal::kNoKeyword,
     "field faceParts.reserved"},
    {"a NaN in a light's colour",
     nullptr,
     {},
     [](Scene& s) { WithLight(s, [](Light& l) { l.rgb.g = std::nanf(""); }); },
     refusal::kNotANumber,
     "light 0 key, field rgb"},
    {"a NaN vertex",
     nullptr,
     {},
     [](Scene& s) {
       WithBody(s, [](Body& b) {
         EXPECT_TRUE(b.vertices.Allocate(2));
         b.vertices.items[1].z = std::nanf("");
       });
     },
     refusal::kNotANumber,
     "field vertices: not a number: element 1, component 2"},
    {"a body name with a space",
     nullptr,
     {},
     [](Scene& s) { WithBody(s, [](Body& b) { b.name = "a b"; }); },
     refusal::kNotOneToken,
     "body 0 a b, field name"},
    {"a light name with a quote",
     nullptr,
     {},
     [](Scene& s) { WithLight(s, [](Light& l) { l.name = "a\"b"; }); },
     refusal::kNotOneToken,
     "field name"},
    {"a count without items",
     nullptr,
     {},
     [](Scene& s) { WithBody(s, [](Body& b) { b.normals.count = 3; }); },
     refusal::kBrokenArray,
     "body 0 \"b\", field normals"},
};

TEST(WriteScene, RefusesEachClassNamingRecordAndFieldAndWritesNothing) {
  for (const RefusalRow& row : kRefusalRows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    Scene scene;
    if (row.extension != nullptr) {
      LoadWith(dir, row.extension, row.text, scene);
    } else {
      MakeEmpty(scene);
      row.build(scene);
    }
    SceneText text;
    const Status status = WriteSceneText(scene, "s", {}, text);
    if (!row.klass.empty()) {
      EXPECT_EQ(status.code, StatusCode::kInvalidScene);
      EXPECT_NE(status.message.find(": " + std::string(row.klass) + ": "), std::string::npos)
          << status.message;
      EXPECT_NE(status.message.find(row.where), std::string::npos) << status.message;
      EXPECT_TRUE(text.group.empty() && text.objects.empty());
      const fs::path out = dir.root() / "out";
      fs::create_directories(out);
      EXPECT_EQ(WriteScene(scene, (out / "s.grp").string(), {}).code, StatusCode::kInvalidScene);
      EXPECT_TRUE(fs::is_empty(out));
      continue;
    }
    ASSERT_TRUE(status.ok()) << status.message;
    dir.Write("w/s.grp", text.group);
    dir.Write("w/s.lgt", text.lights);
    dir.Write("w/s.cam", text.camera);
    dir.Write("w/s.gmf", text.materials);
    dir.Write("w/s.gof", text.objects);
    Scene again;
    ASSERT_EQ(again.Load((dir.root().string() + "/w\\s.grp").c_str()), 0);
    SceneText second;
    ASSERT_TRUE(WriteSceneText(again, "s", {}, second).ok());
    EXPECT_EQ(second.objects, text.objects);
    EXPECT_EQ(second.lights, text.lights);
    EXPECT_EQ(again.lights.items == nullptr, scene.lights.items == nullptr);
    EXPECT_EQ(again.camera.count, scene.camera.count);
    EXPECT_EQ(again.objects.count, scene.objects.count);
  }
}

// ---- The group file's body-material entries ----

constexpr struct {
  const char* name;
  std::string_view group;
  std::string_view entries;  // body=material per entry, "!" after one cut short, "@offset"
} kBodyMaterialRows[] = {
    {"after the include entries", "include \"s.lgt\"\nbody-material \"cube\" \"brick\"\n",
     "\"cube\"=\"brick\"@16"},
    {"names are tokens as they stand, quotes or none", "body-material cube brick.x",
     "cube=brick.x@0"},
    {"two entries in file order, one body twice",
     "body-material a m body-material b n body-material a n", "a=m@0 b=n@18 a=n@36"},
    {"an entry cut short by the end of the file", "body-material \"cube\"", "\"cube\"=!@0"},
    {"the keyword alone", "x body-material", "=!@2"},
    {"an include entry's name is never a keyword", "include body-material a b", ""},
    {"the keyword glued to a name is no entry", "body-material\"a\" b c", ""},
};

TEST(ReadBodyMaterials, FindsEveryEntryCompleteOrCutShort) {
  for (const auto& row : kBodyMaterialRows) {
    SCOPED_TRACE(row.name);
    std::vector<BodyMaterialEntry> entries;
    ASSERT_TRUE(ReadBodyMaterials(row.group, entries).ok());
    std::string seen;
    for (const BodyMaterialEntry& entry : entries) {
      if (!seen.empty()) seen += ' ';
      seen += entry.names.body + "=" + entry.names.material + (entry.complete ? "" : "!") + "@" +
              std::to_string(entry.offset);
    }
    EXPECT_EQ(seen, row.entries);
  }
}

// What the writer puts in the group file comes back from it, and the include entries serve
// exactly their own kinds, whatever the base name.
TEST(WriteGroup, IncludesFirstThenTheEntriesAsGiven) {
  Scene scene;
  MakeEmpty(scene);
  WriteOptions options;
  options.bodyMaterials = {{"\"cube\"", "\"brick\""}, {"include", "body-material"}};
  SceneText text;
  ASSERT_TRUE(WriteSceneText(scene, "my-scene", options, text).ok());
  EXPECT_EQ(text.group,
            "include \"my-scene.lgt\"\ninclude \"my-scene.cam\"\ninclude \"my-scene.gmf\"\n"
            "include \"my-scene.gof\"\nbody-material \"cube\" \"brick\"\n"
            "body-material include body-material\n");
  std::vector<BodyMaterialEntry> entries;
  ASSERT_TRUE(ReadBodyMaterials(text.group, entries).ok());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].names.body, "include");
  EXPECT_EQ(entries[1].names.material, "body-material");
}

constexpr struct {
  const char* base;
  const char* why;
} kBadBaseNames[] = {
    {"", "empty"},
    {"a b", "whitespace"},
    {"a\"b", "a double quote would end the name"},
    {"a\\b", "a backslash separates folders"},
    {"x.cam", "the light entry would serve the camera"},
    {"a.gof.b", "an extension anywhere in the name counts"},
};

TEST(WriteGroup, RefusesABaseNameTheIncludeEntriesCannotCarry) {
  Scene scene;
  MakeEmpty(scene);
  for (const auto& row : kBadBaseNames) {
    SCOPED_TRACE(row.why);
    SceneText text;
    EXPECT_EQ(WriteSceneText(scene, row.base, {}, text).code, StatusCode::kBadOptions);
    EXPECT_TRUE(text.group.empty());
  }
  WriteOptions options;
  options.bodyMaterials = {{"a b", "m"}};
  SceneText text;
  EXPECT_EQ(WriteSceneText(scene, "s", options, text).code, StatusCode::kBadOptions);
}

// ---- Files ----

std::map<std::string, std::string> FilesIn(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), dir).string()] = bytes.str();
  }
  return files;
}

// The sample with its texture, written to another folder: the five files, named after the group
// file, and the texture under the name the material file holds; loading them gives the scene.
TEST(WriteScene, WritesFiveFilesAndCopiesTheTextureToAnotherFolder) {
  TempDir dir;
  Scene sample;
  ASSERT_EQ(sample.Load(testing::SampleGroupPath().c_str()), 0);
  const fs::path out = dir.root() / "out";
  fs::create_directories(out);
  const Status status = WriteScene(sample, (out / "copy.grp").string(), {});
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_TRUE(status.warnings.empty());
  const auto files = FilesIn(out);
  std::string names;
  for (const auto& [name, bytes] : files) names += name + " ";
  EXPECT_EQ(names, "brick.png copy.cam copy.gmf copy.gof copy.grp copy.lgt ");
  std::ifstream png(fs::path(SCENEIO_SOURCE_DIR) / "examples/dork/brick.png", std::ios::binary);
  std::ostringstream brick;
  brick << png.rdbuf();
  EXPECT_EQ(files.at("brick.png"), brick.str());
  Scene again;
  EXPECT_EQ(again.Load((out.string() + "\\copy.grp").c_str()), 0);
  EXPECT_EQ(again.materials.count, 2);
}

// Beside the material file the texture is where it was: nothing is copied. A texture that the
// export would not take is not copied either, with a warning, and the scene is written anyway.
TEST(WriteScene, CopiesOnlyTexturesTheExportWouldTake) {
  TempDir dir;
  const struct {
    const char* name;
    const char* texture;
    const char* warning;  // empty: copied
  } kRows[] = {
      {"a texture beside the material file", "\"t.png\"", ""},
      {"no such file", "\"missing.png\"", "not copied: no such file beside the material file"},
      {"a name leading out of the folder", "\"../t.png\"", "not copied: a \"..\" component"},
      {"not an image", "\"t.txt\"", "not copied: neither a PNG nor a JPEG"},
      {"in a folder the output lacks", "\"sub/t.png\"",
       "not copied: its folder does not exist beside the output"},
  };
  const std::string png = "\x89PNG\r\n\x1a\n....";
  dir.Write("in/t.png", png);
  dir.Write("t.png", png);
  dir.Write("in/t.txt", "text");
  dir.Write("in/sub/t.png", png);
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    dir.Write("in/s.gmf",
              std::string("material m GL_Shade TEXTURE-MAP ( name ") + row.texture + " ) )\n");
    dir.Write("in/s.grp",
              "include \"s.lgt\" include \"s.cam\" include \"s.gmf\" "
              "include \"s.gof\"\n");
    for (const char* kind : {"in/s.lgt", "in/s.cam", "in/s.gof"}) dir.Write(kind, "");
    Scene scene;
    ASSERT_EQ(scene.Load((dir.root().string() + "/in\\s.grp").c_str()), 0);
    const fs::path out = dir.root() / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    const Status status = WriteScene(scene, (out / "w.grp").string(), {});
    ASSERT_TRUE(status.ok()) << status.message;
    if (*row.warning == '\0') {
      EXPECT_TRUE(status.warnings.empty());
      EXPECT_EQ(FilesIn(out).count("t.png"), 1u);
      continue;
    }
    ASSERT_EQ(status.warnings.size(), 1u);
    EXPECT_NE(status.warnings[0].find(row.warning), std::string::npos) << status.warnings[0];
    EXPECT_EQ(FilesIn(out).size(), 5u);
  }
  // Into the material file's own folder: the texture stays where it is, uncopied and untold.
  Scene scene;
  dir.Write("in/s.gmf", "material m GL_Shade TEXTURE-MAP ( name \"t.png\" ) )\n");
  ASSERT_EQ(scene.Load((dir.root().string() + "/in\\s.grp").c_str()), 0);
  const Status status = WriteScene(scene, (dir.root() / "in/again.grp").string(), {});
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_TRUE(status.warnings.empty());
}

// Writing over an earlier scene replaces its five files whole; a refused or failed write leaves
// them as they were.
TEST(WriteScene, ReplacesEarlierFilesOnlyWhenWhole) {
  TempDir dir;
  Scene sample;
  ASSERT_EQ(sample.Load(testing::SampleGroupPath().c_str()), 0);
  for (const char* name : {"s.grp", "s.lgt", "s.cam", "s.gmf", "s.gof", "brick.png"}) {
    dir.Write(name, "earlier");
  }
  const auto before = FilesIn(dir.root());
  Scene refused;
  MakeEmpty(refused);
  ASSERT_TRUE(refused.lights.Allocate(1));
  refused.lights.items[0].extraFlag = 1;
  EXPECT_EQ(WriteScene(refused, (dir.root() / "s.grp").string(), {}).code,
            StatusCode::kInvalidScene);
  EXPECT_EQ(FilesIn(dir.root()), before);
  EXPECT_EQ(WriteScene(sample, (dir.root() / "missing/s.grp").string(), {}).code,
            StatusCode::kWriteFailed);
  EXPECT_EQ(WriteScene(sample, (dir.root() / "s.glb").string(), {}).code, StatusCode::kBadOptions);
  EXPECT_EQ(FilesIn(dir.root()), before);

  ASSERT_TRUE(WriteScene(sample, (dir.root() / "s.grp").string(), {}).ok());
  const auto after = FilesIn(dir.root());
  for (const auto& [name, bytes] : after) EXPECT_NE(bytes, "earlier") << name;
  EXPECT_EQ(after.size(), before.size());
}

}  // namespace
}  // namespace sceneio
