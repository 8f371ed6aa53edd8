// The scene dump's encodings, the ones a reader of the document depends on byte for byte.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "sceneio/dump.h"

namespace sceneio {
namespace {

using namespace std::string_view_literals;

constexpr struct {
  const char* name;
  std::string_view bytes;
  std::string_view json;
} kStringCases[] = {
    {"zero byte is escaped, not a terminator", "a\0b"sv, R"("a\u0000b")"},
    {"double quote gets a backslash", "\"x\"", R"("\"x\"")"},
    {"backslash gets a backslash", "dork\\dork.grp", R"("dork\\dork.grp")"},
    {"delete is not printable", "\x7f", R"("\u007f")"},
    {"first byte above ASCII is one code point", "\x80", R"("\u0080")"},
    {"last byte is one code point, not UTF-8", "\xff", R"("\u00ff")"},
    {"control bytes use lower-case hex", "\t\n\x1f", R"("\u0009\u000a\u001f")"},
    {"space and tilde are themselves", " ~", R"(" ~")"},
    {"empty string", "", R"("")"},
    {"escapes between plain runs", "ab\"cd\\ef\xc3\xa9", R"("ab\"cd\\ef\u00c3\u00a9")"},
};

TEST(AppendJsonString, EncodesEachByteAsOneCodePoint) {
  for (const auto& c : kStringCases) {
    SCOPED_TRACE(c.name);
    std::string out = "prefix:";
    AppendJsonString(out, c.bytes);
    EXPECT_EQ(out, "prefix:" + std::string(c.json));
  }
}

constexpr struct {
  const char* name;
  uint32_t bits;
  std::string_view json;
} kFloatCases[] = {
    {"negative zero keeps its sign", 0x80000000u, "-0"},
    {"positive zero", 0x00000000u, "0"},
    {"infinity is a string", 0x7F800000u, R"("inf")"},
    {"negative infinity is a string", 0xFF800000u, R"("-inf")"},
    {"quiet NaN is a string", 0x7FC00000u, R"("nan")"},
    {"NaN with sign and payload is still nan", 0xFFC00001u, R"("nan")"},
    {"smallest subnormal", 0x00000001u, "1e-45"},
    {"largest subnormal", 0x007FFFFFu, "1.1754942e-38"},
    {"0.1 is not widened to double digits", 0x3DCCCCCDu, "0.1"},
    {"largest float", 0x7F7FFFFFu, "3.4028235e+38"},
    {"2^24 stays an integer", 0x4B800000u, "16777216"},
    {"negative fraction", 0xBE800000u, "-0.25"},
};

TEST(AppendJsonFloat, WritesShortestTextAndNamesNonNumbers) {
  for (const auto& c : kFloatCases) {
    SCOPED_TRACE(c.name);
    std::string out;
    AppendJsonFloat(out, std::bit_cast<float>(c.bits));
    EXPECT_EQ(out, c.json);
  }
}

// Shortest is not enough: the text must read back as the very same float, across every
// exponent and both signs.
TEST(AppendJsonFloat, ReadsBackBitForBit) {
  for (uint64_t bits = 0; bits < 0x100000000u; bits += 0x10001u) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(bits));
    if (std::isnan(value) || std::isinf(value)) continue;
    std::string text;
    AppendJsonFloat(text, value);
    const float back = std::strtof(text.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<uint32_t>(back), static_cast<uint32_t>(bits)) << text;
  }
}

// Distinct values in every field, so a field written under another's key is caught.
void FillOneOfEach(Scene& scene) {
  ASSERT_TRUE(scene.lights.Allocate(1));
  Light& light = scene.lights.items[0];
  light.name = "lamp";
  light.brightness = 1.5f;
  light.rgb = {0.25f, 0.5f, 0.75f};
  light.direction = {1, 2, 3};
  light.extraVector1 = {4, 5, 6};
  light.extraVector2 = {7, 8, 9};
  light.extraFlag = 255;
  light.extraString = "s";
  light.extraInt = -7;
  light.extraPair = {10, 11};

  ASSERT_TRUE(scene.camera.Allocate(1));
  Camera& camera = scene.camera.items[0];
  camera.name = "cam";
  camera.viewAngle = 45;
  camera.hither = 0.5f;
  camera.yon = 1000;
  camera.location = {1, 2, 3};
  camera.aim = {4, 5, 6};
  camera.lookupVector = {0, 1, 0};

  ASSERT_TRUE(scene.materials.Allocate(1));
  Material& material = scene.materials.items[0];
  material.name = "\"m\"";
  material.diffuse = {1, 2, 3};
  material.specular = {4, 5, 6};
  material.extraColor1 = {7, 8, 9};
  material.opacity = 0.5f;
  material.shininess = 12;
  material.extraColor2 = {10, 11, 12};
  material.textureName = "t.png";
  material.textureWidth = 64;
  material.textureHeight = 32;
  material.textureChannels = 3;
  material.textureBitsPerChannel = 8;

  ASSERT_TRUE(scene.objects.Allocate(1));
  Body& body = scene.objects.items[0];
  body.name = "b";
  ASSERT_TRUE(body.vertices.Allocate(2));
  body.vertices.items[0] = {1, 2, 3};
  body.vertices.items[1] = {4, 5, 6};
  ASSERT_TRUE(body.uvs.Allocate(0));
  body.faceParts.firstName = "f";
  body.faceParts.secondName = "g";
  body.faceParts.reserved = 4000000000u;
  ASSERT_TRUE(body.faceParts.indices.Allocate(3));
  body.faceParts.indices.items[1] = 1;
  body.faceParts.indices.items[2] = -2;
  ASSERT_TRUE(body.faces.Allocate(1));
  body.faces.items[0] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};

  scene.groupFile = std::make_unique<FileBuffer>();
  scene.groupFile->path = "d\\g.grp";
  scene.groupFile->directory = "d\\";
  scene.groupFile->baseName = "g";
  scene.groupFile->extension = ".grp";
  scene.groupFile->data.reset(new char[5]);
  scene.groupFile->size = 5;
  scene.lightFile = std::make_unique<FileBuffer>();  // made but not read
}

// Key order, key names and the null / [] distinction, all in one document.
TEST(SceneJson, WritesEveryFieldUnderItsKeyInOrder) {
  Scene scene;
  FillOneOfEach(scene);
  EXPECT_EQ(SceneJson(scene, -1), R"({
  "result": -1,
  "files": {
    "group": {"path": "d\\g.grp", "directory": "d\\", "baseName": "g", "extension": ".grp", "read": true, "size": 5},
    "light": {"path": "", "directory": "", "baseName": "", "extension": "", "read": false, "size": 0},
    "camera": null,
    "material": null,
    "object": null
  },
  "lights": {
    "count": 1,
    "items": [
      {"name": "lamp", "brightness": 1.5, "rgb": [0.25, 0.5, 0.75], "direction": [1, 2, 3], "extraVector1": [4, 5, 6], "extraVector2": [7, 8, 9], "extraFlag": 255, "extraString": "s", "extraInt": -7, "extraPair": [10, 11]}
    ]
  },
  "camera": {
    "count": 1,
    "items": [
      {"name": "cam", "viewAngle": 45, "hither": 0.5, "yon": 1000, "location": [1, 2, 3], "aim": [4, 5, 6], "lookupVector": [0, 1, 0]}
    ]
  },
  "materials": {
    "count": 1,
    "items": [
      {"name": "\"m\"", "diffuse": [1, 2, 3], "specular": [4, 5, 6], "extraColor1": [7, 8, 9], "opacity": 0.5, "shininess": 12, "extraColor2": [10, 11, 12], "textureName": "t.png", "textureWidth": 64, "textureHeight": 32, "textureChannels": 3, "textureBitsPerChannel": 8}
    ]
  },
  "objects": {
    "count": 1,
    "items": [
      {
        "name": "b",
        "vertices": {
          "count": 2,
          "items": [
            [1, 2, 3],
            [4, 5, 6]
          ]
        },
        "normals": {"count": 0, "items": null},
        "uvs": {"count": 0, "items": []},
        "faceParts": {
          "firstName": "f",
          "secondName": "g",
          "reserved": 4000000000,
          "indices": {"count": 3, "items": [0, 1, -2]}
        },
        "faces": {
          "count": 1,
          "items": [
            [[1, 2, 3], [4, 5, 6], [7, 8, 9]]
          ]
        }
      }
    ]
  }
}
)");
}

constexpr struct {
  const char* name;
  bool allocate;
  std::string_view json;
} kCollectionCases[] = {
    {"never stored is null", false, R"("lights": {"count": 0, "items": null})"},
    {"stored empty is an empty list", true, R"("lights": {"count": 0, "items": []})"},
};

TEST(SceneJson, KeepsNullApartFromEmpty) {
  for (const auto& c : kCollectionCases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    if (c.allocate) {
      ASSERT_TRUE(scene.lights.Allocate(0));
    }
    EXPECT_NE(SceneJson(scene, 0).find(c.json), std::string::npos);
  }
}

// The chunked writer must produce exactly the one-string document, also across chunk seams.
TEST(WriteSceneJson, StreamsTheSameDocument) {
  Scene scene;
  ASSERT_TRUE(scene.objects.Allocate(1));
  Body& body = scene.objects.items[0];
  ASSERT_TRUE(body.vertices.Allocate(200000));
  for (int32_t i = 0; i < body.vertices.count; ++i) {
    body.vertices.items[i] = {static_cast<float>(i), -0.1f * static_cast<float>(i), 1e-40f};
  }
  const std::string expected = SceneJson(scene, 0);
  ASSERT_GT(expected.size(), size_t{4} << 20);

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(WriteSceneJson(scene, 0, file).ok());
  std::rewind(file);
  std::string written(expected.size() + 1, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::fclose(file);
  EXPECT_TRUE(written == expected);
}

}  // namespace
}  // namespace sceneio
