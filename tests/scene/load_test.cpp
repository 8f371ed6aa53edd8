// The load driver's outcomes, and scene-load's one message, over scenes written to disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::RunProgram;
using testing::TempDir;

constexpr const char* kGroup =
    "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n";

// Writes a complete minimal scene; `skip` names the one data file left out ("" for none).
void WriteScene(const TempDir& dir, const std::string& skip) {
  dir.Write("dork/dork.grp", kGroup);
  const std::pair<const char*, const char*> files[] = {
      {"s.lgt", "< (name \"a\" brightness 1 ) >\n"},
      {"s.cam", ") ( view-angle 45 )\n"},
      {"s.gmf", "material m ( GL_Shade OPACITY 1 )\n"},
      {"s.gof", "body b ( )\n"},
  };
  for (const auto& [name, text] : files) {
    if (skip != name) dir.Write(std::string("dork/") + name, text);
  }
}

// The same scene with `missing` removed ("dork.grp" for the group file itself).
void WriteSceneWithout(const TempDir& dir, const std::string& missing) {
  WriteScene(dir, missing);
  if (missing == "dork.grp") std::filesystem::remove(dir.root() / "dork/dork.grp");
}

struct Outcome {
  const char* missing;  // the file left out, "dork.grp" for the group file itself
  int32_t result;
  // Which buffers the Scene holds afterwards: group, light, camera, material, object.
  bool held[5];
  bool read[5];
};

constexpr Outcome kOutcomes[] = {
    {"dork.grp", -1, {true, false, false, false, false}, {false, false, false, false, false}},
    {"s.lgt", -1, {true, true, false, false, false}, {true, false, false, false, false}},
    {"s.cam", -1, {true, true, true, false, false}, {true, true, false, false, false}},
    {"s.gmf", -1, {true, true, true, true, false}, {true, true, true, false, false}},
    {"s.gof", -1, {true, true, true, true, true}, {true, true, true, true, false}},
    {"", 0, {true, true, true, true, true}, {true, true, true, true, true}},
};

TEST(LoadTest, StopsAtTheFirstFileNotRead) {
  for (const Outcome& c : kOutcomes) {
    SCOPED_TRACE(c.missing);
    TempDir dir;
    WriteSceneWithout(dir, c.missing);
    Scene scene;
    EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), c.result);
    const FileBuffer* buffers[] = {scene.groupFile.get(), scene.lightFile.get(),
                                   scene.cameraFile.get(), scene.materialFile.get(),
                                   scene.objectFile.get()};
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(buffers[i] != nullptr, c.held[i]);
      if (buffers[i] != nullptr) {
        EXPECT_EQ(buffers[i]->data != nullptr, c.read[i]);
      }
    }
  }
}

TEST(LoadTest, GroupNamingNoKindFailsThere) {
  TempDir dir;
  WriteScene(dir, "");
  dir.Write("dork/dork.grp", "include \"s.lgt\" include \"s.cam\"\n");
  Scene scene;
  EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), -1);
  ASSERT_NE(scene.materialFile, nullptr);
  EXPECT_EQ(scene.materialFile->path, "");  // no name was found, so none was given
  EXPECT_EQ(scene.objectFile, nullptr);
}

// LoadScene loads as Load does and names the file that stopped it, or the kind the group file
// does not name.
TEST(LoadScene, SaysWhichFileStoppedTheLoadAndWhy) {
  for (const Outcome& c : kOutcomes) {
    SCOPED_TRACE(c.missing);
    TempDir dir;
    WriteSceneWithout(dir, c.missing);
    Scene scene;
    const Status status = LoadScene(scene, dir.GroupPath().c_str());
    Scene plain;
    ASSERT_EQ(plain.Load(dir.GroupPath().c_str()), c.result);
    EXPECT_EQ(status.ok(), c.result == 0);
    EXPECT_EQ(scene.objects.count, plain.objects.count);
    EXPECT_EQ(scene.lights.count, plain.lights.count);
    if (c.result == 0) continue;
    EXPECT_EQ(status.code, StatusCode::kLoadFailed);
    EXPECT_EQ(status.message, dir.root().string() + "/dork\\" + c.missing + " could not be read");
  }
  TempDir dir;
  WriteScene(dir, "");
  dir.Write("dork/dork.grp", "include \"s.lgt\" include \"s.cam\"\n");
  Scene scene;
  const Status status = LoadScene(scene, dir.GroupPath().c_str());
  EXPECT_EQ(status.code, StatusCode::kLoadFailed);
  EXPECT_EQ(status.message, "the group file names no material file");
}

TEST(LoadTest, EmptyFilesCountAsRead) {
  TempDir dir;
  dir.Write("dork/dork.grp", "");
  Scene emptyGroup;
  EXPECT_EQ(emptyGroup.Load(dir.GroupPath().c_str()), -1);
  ASSERT_NE(emptyGroup.lightFile, nullptr);  // the group was read; the light kind was not named
  EXPECT_EQ(emptyGroup.lightFile->data, nullptr);

  dir.Write("dork/dork.grp", kGroup);
  for (const char* name : {"s.lgt", "s.cam", "s.gmf", "s.gof"})
    dir.Write(std::string("dork/") + name, "");
  Scene emptyData;
  EXPECT_EQ(emptyData.Load(dir.GroupPath().c_str()), 0);
}

TEST(LoadTest, OneFileNamedForTwoKindsIsReadTwice) {
  TempDir dir;
  WriteScene(dir, "");
  dir.Write("dork/dork.grp", "include \"both.lgt.cam\" include \"s.gmf\" include \"s.gof\"\n");
  dir.Write("dork/both.lgt.cam", "< > ) ( )\n");
  Scene scene;
  EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  ASSERT_NE(scene.lightFile, nullptr);
  ASSERT_NE(scene.cameraFile, nullptr);
  EXPECT_NE(scene.lightFile->data.get(), scene.cameraFile->data.get());
  EXPECT_EQ(scene.lightFile->path, scene.cameraFile->path);
}

// scene-load itself: silent on success, exactly "error\n\n" on failure, exit status 0 always.
TEST(SceneLoadProgram, PrintsOnlyTheErrorMessage) {
  struct Case {
    const char* name;
    const char* group;  // null: no group file at all
    const char* skip;
    bool directoryInstead;
    const char* expected;
  };
  const Case cases[] = {
      {"empty directory", nullptr, "", false, "error\n\n"},
      {"complete scene", kGroup, "", false, ""},
      {"no light entry", "include \"s.cam\" include \"s.gmf\" include \"s.gof\"", "", false,
       "error\n\n"},
      {"no object entry", "include \"s.lgt\" include \"s.cam\" include \"s.gmf\"", "", false,
       "error\n\n"},
      {"named camera file missing", kGroup, "s.cam", false, "error\n\n"},
      {"named material file is a directory", kGroup, "s.gmf", true, "error\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.group != nullptr) {
      WriteScene(dir, c.skip);
      dir.Write("dork/dork.grp", c.group);
      if (c.directoryInstead) std::filesystem::create_directories(dir.root() / "dork" / c.skip);
    }
    const testing::ProgramResult run = RunProgram(SCENE_LOAD_PATH, dir.root().string());
    EXPECT_EQ(run.out, c.expected);
    EXPECT_EQ(run.status, 0);
  }
}

TEST(SceneLoadProgram, SampleSceneLoadsSilently) {
  const testing::ProgramResult run =
      RunProgram(SCENE_LOAD_PATH, std::string(SCENEIO_SOURCE_DIR) + "/examples");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace sceneio
