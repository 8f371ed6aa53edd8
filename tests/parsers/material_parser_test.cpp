// Material blocks: counted by "GL_Shade", filled from "material" to ")", texture blocks inside.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "parsers/record_expect.h"
#include "sceneio/material.h"
#include "support/buffer_of.h"

// Expected records name only the fields that differ from the constructed values; the rest keep
// their member initialisers, which is exactly what this warning is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace sceneio {
namespace {

using testing::BufferOf;
using testing::SampleFile;

void ExpectSameMaterial(const Material& got, const Material& want) {
  EXPECT_FIELD(name);
  EXPECT_FIELD(diffuse);
  EXPECT_FIELD(specular);
  EXPECT_FIELD(extraColor1);
  EXPECT_FIELD(opacity);
  EXPECT_FIELD(shininess);
  EXPECT_FIELD(extraColor2);
  EXPECT_FIELD(textureName);
  EXPECT_FIELD(textureWidth);
  EXPECT_FIELD(textureHeight);
  EXPECT_FIELD(textureChannels);
  EXPECT_FIELD(textureBitsPerChannel);
}

void ExpectMaterials(const CountedArray<Material>& got, const std::vector<Material>& want) {
  ASSERT_NE(got.items, nullptr);
  ASSERT_EQ(got.count, static_cast<int32_t>(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSameMaterial(got.items[i], want[i]);
  }
}

TEST(ParseMaterials, SampleSceneMaterials) {
  const FileBuffer file = SampleFile("dork.gmf");
  CountedArray<Material> materials;
  EXPECT_EQ(ParseMaterials(file, materials), 0);
  ExpectMaterials(materials, {
                                 {.name = "\"brick\"",
                                  .diffuse = {0.7f, 0.3f, 0.2f},
                                  .specular = {0.1f, 0.1f, 0.1f},
                                  .opacity = 1,
                                  .shininess = 8,
                                  .textureName = "\"brick.png\"",
                                  .textureWidth = 256,
                                  .textureHeight = 128,
                                  .textureChannels = 3,
                                  .textureBitsPerChannel = 8},
                                 {.name = "\"glass\"",
                                  .diffuse = {0.2f, 0.4f, 0.5f},
                                  .specular = {0.9f, 0.9f, 0.9f},
                                  .extraColor1 = {0, 0.05f, 0.1f},
                                  .opacity = 0.25f,
                                  .shininess = 96},
                             });
}

struct BlockCase {
  const char* name;
  std::string_view text;
  std::vector<Material> want;  // the whole array, in order
};

const BlockCase kBlockCases[] = {
    {"empty file", "", {}},
    {"only whitespace", " \r\n\t", {}},
    {"blocks without GL_Shade make no records", "material m ( DIFFUSE-COLOR 1 1 1 )", {}},
    {"GL_Shade glued to a parenthesis is not counted", "material m (GL_Shade OPACITY 1 )", {}},
    {"minimal block",
     "material m GL_Shade DIFFUSE-COLOR 1 0.5 0 )",
     {{.name = "m", .diffuse = {1, 0.5f, 0}}}},
    {"GL_Shade at the very last byte is counted", "material m GL_Shade", {{.name = "m"}}},
    {"two blocks in file order, each with its own values",
     "material a ( GL_Shade OPACITY 0.5 )\nmaterial b ( GL_Shade SHININESS 4 )\n",
     {{.name = "a", .opacity = 0.5f}, {.name = "b", .shininess = 4}}},
    {"quoted name keeps its quotes", "material \"m\" GL_Shade )", {{.name = "\"m\""}}},
    {"every property in reverse order",
     "material m GL_Shade OPACITY 0.5 EMISSION-COLOR 7 8 9 SPECULAR-COLOR 4 5 6 SHININESS 3 "
     "DIFFUSE-COLOR 1 2 3 )",
     {{.name = "m",
       .diffuse = {1, 2, 3},
       .specular = {4, 5, 6},
       .extraColor1 = {7, 8, 9},
       .opacity = 0.5f,
       .shininess = 3}}},
    {"emission after specular leaves specular alone",
     "material m GL_Shade SPECULAR-COLOR 1 1 1 EMISSION-COLOR 0.5 0 0.25 )",
     {{.name = "m", .specular = {1, 1, 1}, .extraColor1 = {0.5f, 0, 0.25f}}}},
    {"emission alone fills no specular",
     "material m GL_Shade EMISSION-COLOR 0.5 0 0.25 )",
     {{.name = "m", .extraColor1 = {0.5f, 0, 0.25f}}}},
    {"a repeated keyword keeps the later values",
     "material m GL_Shade DIFFUSE-COLOR 1 1 1 DIFFUSE-COLOR 0 0.5 1 )",
     {{.name = "m", .diffuse = {0, 0.5f, 1}}}},
    {"keywords are case-sensitive",
     "material m GL_Shade opacity 0.5 Shininess 2 )",
     {{.name = "m"}}},
    {"properties before GL_Shade are passed over",
     "material m OPACITY 0.5 GL_Shade )",
     {{.name = "m"}}},
    {"texture block, then a property",
     "material m GL_Shade TEXTURE-MAP ( width 4 ) OPACITY 0.5 )",
     {{.name = "m", .opacity = 0.5f, .textureWidth = 4}}},
    {"texture keywords in any order",
     "material m GL_Shade TEXTURE-MAP ( bits-per-channel 16 number-of-channels 4 height 2 "
     "width 3 name t.png ) )",
     {{.name = "m",
       .textureName = "t.png",
       .textureWidth = 3,
       .textureHeight = 2,
       .textureChannels = 4,
       .textureBitsPerChannel = 16}}},
    {"texture parentheses do not nest",
     "material m GL_Shade TEXTURE-MAP ( name x ( width 4 ) height 8 ) "
     "material n GL_Shade OPACITY 1 )",
     {{.name = "m", .textureName = "x", .textureWidth = 4}, {.name = "n", .opacity = 1}}},
    {"texture keyword outside a texture block is passed over",
     "material m GL_Shade width 4 name t )",
     {{.name = "m"}}},
    {"property keyword inside a texture block is passed over",
     "material m GL_Shade TEXTURE-MAP ( OPACITY 0.5 ) )",
     {{.name = "m"}}},
    {"texture name takes a parenthesis",
     "material m GL_Shade TEXTURE-MAP ( name ) width 4 ) )",
     {{.name = "m", .textureName = ")", .textureWidth = 4}}},
    {"texture name takes a keyword",
     "material m GL_Shade TEXTURE-MAP ( name width height 4 ) )",
     {{.name = "m", .textureName = "width", .textureHeight = 4}}},
    {"integer read by number syntax",
     "material m GL_Shade TEXTURE-MAP ( width 256.5 height 8 ) )",
     {{.name = "m", .textureWidth = 256, .textureHeight = 8}}},
    {"value read by number syntax",
     "material m GL_Shade SHININESS 45deg OPACITY 1 )",
     {{.name = "m", .opacity = 1, .shininess = 45}}},
    {"signs, points and exponents",
     "material m GL_Shade DIFFUSE-COLOR -1 +.5 2e-1 )",
     {{.name = "m", .diffuse = {-1, 0.5f, 0.2f}}}},
    {"parenthesis glued to a number ends the block",
     "material a GL_Shade OPACITY 0.5) material b GL_Shade OPACITY 1 )",
     {{.name = "a", .opacity = 0.5f}, {.name = "b", .opacity = 1}}},
    {"parenthesis glued to a word ends nothing",
     "material m GL_Shade foo) OPACITY 1 )",
     {{.name = "m", .opacity = 1}}},
    {"a block without GL_Shade lends its name to the next",
     "material a ( ) material b GL_Shade OPACITY 1 )",
     {{.name = "a", .opacity = 1}}},
    {"GL_Shade as a name: more records than blocks",
     "material GL_Shade GL_Shade OPACITY 1 )",
     {{.name = "GL_Shade", .opacity = 1}, {}}},
    {"a block without its parenthesis runs into the next",
     "material a GL_Shade OPACITY 1 material b GL_Shade OPACITY 2 )",
     {{.name = "a", .opacity = 2}, {}}},
    {"cut inside a colour keeps the components read",
     "material m GL_Shade DIFFUSE-COLOR 1 0.5",
     {{.name = "m", .diffuse = {1, 0.5f, 0}}}},
    {"a failed integer keeps the earlier value and stops",
     "material m GL_Shade TEXTURE-MAP ( width 4 width x height 2 ) ) "
     "material n GL_Shade OPACITY 1 )",
     {{.name = "m", .textureWidth = 4}, {}}},
    {"line ends of every kind",
     "material\tm\r\n(\r\nGL_Shade\fOPACITY\v0.5)\r\n",
     {{.name = "m", .opacity = 0.5f}}},
};

TEST(ParseMaterials, FillsTheBlocks) {
  for (const BlockCase& c : kBlockCases) {
    SCOPED_TRACE(c.name);
    const FileBuffer file = BufferOf(c.text);
    CountedArray<Material> materials;
    EXPECT_EQ(ParseMaterials(file, materials), 0);
    ExpectMaterials(materials, c.want);
  }
}

// Every prefix of the sample file: no read past the cut, and one record per whole "GL_Shade"
// token that the cut keeps.
TEST(ParseMaterials, SampleCutAtEveryLength) {
  const FileBuffer sample = SampleFile("dork.gmf");
  const std::string_view whole(sample.data.get(), static_cast<size_t>(sample.size));
  constexpr std::string_view kShade = "GL_Shade";
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    const std::string_view prefix = whole.substr(0, length);
    int32_t shades = 0;
    for (size_t at = prefix.find(kShade); at != std::string_view::npos;
         at = prefix.find(kShade, at + 1)) {
      ++shades;
    }
    const FileBuffer file = BufferOf(prefix);
    CountedArray<Material> materials;
    EXPECT_EQ(ParseMaterials(file, materials), 0);
    ASSERT_NE(materials.items, nullptr);
    EXPECT_EQ(materials.count, shades);
  }
}

}  // namespace
}  // namespace sceneio
