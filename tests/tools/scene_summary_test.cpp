// The human summary: columns that line up whatever the names, and names that cannot garble it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sceneio/dump.h"

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

}  // namespace
}  // namespace sceneio
