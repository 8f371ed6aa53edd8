// scene-convert writing the five files: what lands where, the body-material entries carried
// and overridden, the statuses, and that a failure leaves nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/buffer_of.h"
#include "support/gltf_read.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;

std::map<std::string, std::string> FilesIn(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] = ReadBytes(entry.path());
  }
  return files;
}

const std::string kExamples = std::string(SCENEIO_SOURCE_DIR) + "/examples";

testing::ProgramResult Convert(const std::string& arguments) {
  return RunProgram(SCENE_CONVERT_PATH, kExamples, arguments + " 2>&1");
}

// The sample written to another folder loads there as scene-load loads it, silently, and
// writing what was written gives the same bytes.
TEST(SceneConvertScene, TheSampleWrittenLoadsAndRewritesTheSame) {
  TempDir dir;
  fs::create_directories(dir.root() / "out/dork");
  const auto run = Convert("dork/dork.grp '" + (dir.root() / "out/dork/dork.grp").string() + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "");
  const auto files = FilesIn(dir.root() / "out/dork");
  std::string names;
  for (const auto& [name, bytes] : files) names += name + " ";
  EXPECT_EQ(names, "brick.png dork.cam dork.gmf dork.gof dork.grp dork.lgt ");
  EXPECT_EQ(files.at("dork.grp"),
            "include \"dork.lgt\"\ninclude \"dork.cam\"\ninclude \"dork.gmf\"\n"
            "include \"dork.gof\"\nbody-material \"cube\" \"brick\"\n"
            "body-material \"pyramid\" \"glass\"\n");
  const auto load = RunProgram(SCENE_LOAD_PATH, (dir.root() / "out").string());
  EXPECT_EQ(load.status, 0);
  EXPECT_EQ(load.out, "");

  fs::create_directories(dir.root() / "again");
  const auto again = RunProgram(SCENE_CONVERT_PATH, (dir.root() / "out").string(),
                                "dork/dork.grp ../again/dork.grp 2>&1");
  ASSERT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(FilesIn(dir.root() / "again"), files);
}

TEST(SceneConvertScene, StatusesAndWhatIsLeft) {
  const struct {
    const char* name;
    const char* options;
    const char* output;  // under the temporary folder
    int status;
    std::string message;   // a whole line of what it printed ("{}" is the folder)
    std::string material;  // 0: the body-material lines of the group file written
  } kRows[] = {
      {"--material replaces the group file's entry for its body", "--material cube=glass", "w.grp",
       0, "", "body-material \"pyramid\" \"glass\"\nbody-material \"cube\" \"glass\"\n"},
      {"--material naming a material the scene lacks", "--material cube=stone", "w.grp", 2,
       "scene-convert: --material cube=stone: the scene has no material \"stone\"", ""},
      {"--material naming a body the scene lacks", "--material cone=glass", "w.grp", 2,
       "scene-convert: --material cone=glass: the scene has no body \"cone\"", ""},
      {"a base name holding an extension of the data files", "", "w.cam.grp", 2,
       "scene-convert: the base name of the group file holds \".cam\", so its include entries "
       "would name the wrong files",
       ""},
      {"folders that are not there are made", "", "missing/deeper/w.grp", 0, "",
       "body-material \"cube\" \"brick\"\nbody-material \"pyramid\" \"glass\"\n"},
      {"a folder that cannot be made", "", "w.grp/deeper/w.grp", 1,
       "scene-convert: cannot make the folder {}/w.grp/deeper: Not a directory", ""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    dir.Write("w.grp", "earlier");
    const auto before = FilesIn(dir.root());
    const auto run = Convert(std::string(row.options) + " dork/dork.grp '" +
                             (dir.root() / row.output).string() + "'");
    EXPECT_EQ(run.status, row.status) << run.out;
    std::string message = row.message;
    if (message.find("{}") != std::string::npos) {
      message.replace(message.find("{}"), 2, dir.root().string());
    }
    if (!message.empty()) {
      EXPECT_NE(("\n" + run.out).find("\n" + message + "\n"), std::string::npos) << run.out;
    }
    if (row.status != 0) {
      EXPECT_EQ(FilesIn(dir.root()), before);
      continue;
    }
    const std::string group = ReadBytes(dir.root() / row.output);
    EXPECT_EQ(group.substr(group.find("body-material")), row.material);
  }
}

// A scene that cannot be written so that it loads back the same is refused with status 1,
// naming the record, the field and the class, and nothing is written.
TEST(SceneConvertScene, RefusalWritesNothing) {
  TempDir dir;
  testing::WriteSampleCopy(dir);
  dir.Write("dork/s.gmf", "material GL_Shade GL_Shade DIFFUSE-COLOR 1 1 1 )\n");
  fs::create_directories(dir.root() / "out");
  const auto run =
      RunProgram(SCENE_CONVERT_PATH, dir.root().string(), "dork/dork.grp out/w.grp 2>&1");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "scene-convert: cannot write material 0 GL_Shade, field name: name counted as a "
            "material: every GL_Shade token counts one material; nothing written\n");
  EXPECT_TRUE(fs::is_empty(dir.root() / "out"));
  // Refused before any folder is made for it.
  EXPECT_EQ(RunProgram(SCENE_CONVERT_PATH, dir.root().string(), "dork/dork.grp new/w.grp").status,
            1);
  EXPECT_FALSE(fs::exists(dir.root() / "new"));
}

}  // namespace
}  // namespace sceneio
