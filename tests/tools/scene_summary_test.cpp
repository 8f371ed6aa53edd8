// The human summary: columns that line up whatever the names, and names that cannot garble it.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sceneio/dump.h"
#include "support/buffer_of.h"
#include "support/named_scene.h"

namespace sceneio {
namespace {

std::vector<std::string> LinesAfter(const std::string& text, const std::string& heading) {
  std::vector<std::string> lines;
  std::istringstream in(text.substr(text.find(heading)));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && !line.empty()) lines.push_back(line);
  return lines;
}

TEST(SceneSummary, BodyColumnsLineUp) {
  Scene scene;
  ASSERT_TRUE(scene.objects.Allocate(3));
  scene.objects.items[0].name = "a";
  ASSERT_TRUE(scene.objects.items[0].vertices.Allocate(12345));
  scene.objects.items[1].name = "a much longer name";
  ASSERT_TRUE(scene.objects.items[1].vertices.Allocate(7));
  ASSERT_TRUE(scene.objects.items[1].faces.Allocate(0));
  const std::string summary = SceneSummary(scene, 0);

  const std::vector<std::string> rows = LinesAfter(summary, "objects: 3");
  ASSERT_EQ(rows.size(), 5u) << summary;  // heading, three bodies, the note on "-"
  // Counts are right-aligned, so every row of the table ends in the same column.
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(rows[i].size(), rows[0].size()) << summary;
  EXPECT_NE(rows[1].find("12345"), std::string::npos);
  // An array never stored is not the same as a stored empty one.
  EXPECT_NE(rows[2].find("  0  "), std::string::npos) << rows[2];
  EXPECT_EQ(rows[3].find(" 0"), std::string::npos) << rows[3];
}

constexpr struct {
  const char* name;
  const char* bytes;
  const char* shown;
} kNameCases[] = {
    {"control byte", "a\x01z", "a\\x01z"},
    {"line feed cannot break a row", "a\nz", "a\\x0az"},
    {"byte above ASCII", "\xff", "\\xff"},
    {"empty name is still visible", "", "(empty)"},
};

TEST(SceneSummary, ShowsNamesInPrintableForm) {
  for (const auto& c : kNameCases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    ASSERT_TRUE(scene.materials.Allocate(1));
    scene.materials.items[0].name = c.bytes;
    const std::vector<std::string> rows = LinesAfter(SceneSummary(scene, -1), "materials: 1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], std::string("  0  ") + c.shown);
  }
}

// The material column: what the group file's entries dress each body with, as the export takes
// them (the last usable entry for a body wins), and no column without entries.
const struct {
  const char* name;
  const char* group;  // after the include entries
  std::vector<std::string> rows;
} kMaterialRows[] = {
    {"no entries, no column",
     "",
     {"  #  name    vertices  normals  uvs  faces  indices",
      "  0  \"cube\"         -        -    -      -        -",
      "  1  ball           -        -    -      -        -",
      "  2  \"cube\"         -        -    -      -        -"}},
    {"every body of the name, the last entry winning, an unusable one passed over",
     "body-material \"cube\" glass body-material \"cube\" \"brick\" body-material \"cube\" wood",
     {"  #  name    vertices  normals  uvs  faces  indices  material",
      "  0  \"cube\"         -        -    -      -        -  \"brick\"",
      "  1  ball           -        -    -      -        -",
      "  2  \"cube\"         -        -    -      -        -  \"brick\""}},
    {"an entry cut short dresses nothing",
     "body-material ball glass body-material ball",
     {"  #  name    vertices  normals  uvs  faces  indices  material",
      "  0  \"cube\"         -        -    -      -        -",
      "  1  ball           -        -    -      -        -  glass",
      "  2  \"cube\"         -        -    -      -        -"}},
};

TEST(SceneSummary, ShowsTheMaterialEachBodyWears) {
  for (const auto& row : kMaterialRows) {
    SCOPED_TRACE(row.name);
    Scene scene;
    ASSERT_TRUE(testing::NameBodiesAndMaterials(scene));
    scene.groupFile = std::make_unique<FileBuffer>(
        testing::BufferOf(std::string("include \"s.gof\"\n") + row.group));
    std::vector<std::string> rows = LinesAfter(SceneSummary(scene, 0), "objects: 3");
    rows.pop_back();  // the note on "-"
    EXPECT_EQ(rows, row.rows);
  }
}

}  // namespace
}  // namespace sceneio
