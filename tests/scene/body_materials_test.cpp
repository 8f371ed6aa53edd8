// Which group-file entries apply to a loaded scene, and typed assignments put over them: names
// are matched as tokens, quotes and all, and the order of entries decides which one wins.
#include "sceneio/body_materials.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/buffer_of.h"
#include "support/named_scene.h"

namespace sceneio {
namespace {

std::string Text(const std::vector<BodyMaterial>& entries) {
  std::string text;
  for (const BodyMaterial& entry : entries) {
    text += (text.empty() ? "" : " ") + entry.body + "=" + entry.material;
  }
  return text;
}

const struct {
  const char* name;
  std::vector<BodyMaterial> entries;
  const char* kept;
  std::vector<std::string> warnings;
  const char* checked;  // CheckBodyMaterials' message; empty when it passes
} kEntryRows[] = {
    {"all known",
     {{"\"cube\"", "glass"}, {"ball", "\"brick\""}},
     "\"cube\"=glass ball=\"brick\"",
     {},
     ""},
    {"a body token without its quotes is another name",
     {{"cube", "glass"}, {"ball", "glass"}},
     "ball=glass",
     {"group file entry body-material cube glass left out: the scene has no body cube"},
     "bodyMaterials[0]: the scene has no body cube"},
    {"the material is asked first when both are missing",
     {{"ball", "glass"}, {"box", "wood"}},
     "ball=glass",
     {"group file entry body-material box wood left out: the scene has no body box"},
     "bodyMaterials[1]: the scene has no material wood"},
    {"names shown with their bytes escaped",
     {{"ball", "\"gl\xffss\""}},
     "",
     {"group file entry body-material ball \"gl\\xffss\" left out: the scene has no material "
      "\"gl\\xffss\""},
     "bodyMaterials[0]: the scene has no material \"gl\\xffss\""},
    {"none", {}, "", {}, ""},
};

TEST(BodyMaterials, UnknownNamesLeftOutOrRefused) {
  Scene scene;
  EXPECT_TRUE(testing::NameBodiesAndMaterials(scene));
  for (const auto& row : kEntryRows) {
    SCOPED_TRACE(row.name);
    std::vector<BodyMaterial> entries = row.entries;
    const Status kept = KeepKnownBodyMaterials(scene, entries);
    EXPECT_TRUE(kept.ok());
    EXPECT_EQ(Text(entries), row.kept);
    EXPECT_EQ(kept.warnings, row.warnings);
    const Status checked = CheckBodyMaterials(scene, row.entries);
    EXPECT_EQ(checked.message, row.checked);
    EXPECT_EQ(checked.code, *row.checked ? StatusCode::kBadOptions : StatusCode::kOk);
  }
}

const struct {
  const char* name;
  std::vector<BodyMaterial> entries;
  std::vector<BodyMaterial> over;
  const char* result;
} kOverRows[] = {
    {"an assignment replaces every entry for its body and goes last",
     {{"a", "m"}, {"b", "n"}, {"a", "n"}},
     {{"a", "o"}},
     "b=n a=o"},
    {"a later assignment for the same body wins",
     {{"b", "n"}},
     {{"a", "m"}, {"a", "o"}},
     "b=n a=o"},
    {"bodies are told apart by their tokens", {{"\"a\"", "m"}}, {{"a", "n"}}, "\"a\"=m a=n"},
    {"nothing over", {{"a", "m"}}, {}, "a=m"},
};

TEST(BodyMaterials, AssignmentsGoOverTheEntries) {
  for (const auto& row : kOverRows) {
    SCOPED_TRACE(row.name);
    std::vector<BodyMaterial> entries = row.entries;
    ASSERT_TRUE(PutBodyMaterialsOver(entries, row.over).ok());
    EXPECT_EQ(Text(entries), row.result);
  }
}

const struct {
  const char* name;
  const char* group;  // nullptr: the group file was not read
  const char* entries;
} kGroupRows[] = {
    {"complete entries in file order, the one cut short left out",
     "include \"s.lgt\"\nbody-material \"cube\" glass\nbody-material ball \"brick\"\n"
     "body-material ball",
     "\"cube\"=glass ball=\"brick\""},
    {"entries are taken as written, known to the scene or not", "body-material x y", "x=y"},
    {"a group file that was not read has none", nullptr, ""},
};

TEST(BodyMaterials, GroupEntriesFromTheLoadedBytes) {
  for (const auto& row : kGroupRows) {
    SCOPED_TRACE(row.name);
    Scene scene;
    EXPECT_TRUE(testing::NameBodiesAndMaterials(scene));
    scene.groupFile = std::make_unique<FileBuffer>();
    if (row.group != nullptr) *scene.groupFile = testing::BufferOf(row.group);
    std::vector<BodyMaterial> entries;
    ASSERT_TRUE(GroupBodyMaterials(scene, entries).ok());
    EXPECT_EQ(Text(entries), row.entries);
  }
}

}  // namespace
}  // namespace sceneio
