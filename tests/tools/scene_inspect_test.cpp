// scene-inspect as a program: exit status, what a partial load shows, and values that reach the
// dump through the parsers with the encodings that are easy to get wrong.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sceneio/dump.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using namespace std::string_view_literals;
using testing::RunProgram;
using testing::TempDir;

struct File {
  const char* path;  // relative to the scene's directory
  std::string_view bytes;
};

constexpr std::string_view kGroupAll =
    "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n";
constexpr std::string_view kLights = "<\n(name \"lamp\" brightness 2 )\n>\n";

struct RunCase {
  const char* name;
  std::vector<File> files;
  const char* args;
  int status;
  std::vector<std::string> outputHas;
};

const RunCase kRunCases[] = {
    {"group file missing: nothing else is tried",
     {},
     "--json",
     1,
     {R"("result": -1)",
      R"("group": {"path": "dork\\dork.grp", "directory": "dork\\", "baseName": "dork", )"
      R"("extension": ".grp", "read": false, "size": 0})",
      R"("light": null)", R"("lights": {"count": 0, "items": null})"}},
    {"camera file missing: lights stay, later kinds untouched",
     {{"dork/dork.grp", kGroupAll}, {"dork/s.lgt", kLights}},
     "--json",
     1,
     {R"("result": -1)", R"("light": {"path": "dork\\s.lgt")",
      R"("read": true, "size": )" + std::to_string(kLights.size()) + "}",
      R"("camera": {"path": "dork\\s.cam", "directory": "dork\\", "baseName": "s", )"
      R"("extension": ".cam", "read": false, "size": 0})",
      R"("material": null)", R"("object": null)", R"({"name": "lamp", "brightness": 2, )",
      R"("camera": {"count": 0, "items": null})", R"("objects": {"count": 0, "items": null})"}},
    {"group naming no light file",
     {{"dork/dork.grp", "group \"g\"\n"}},
     "--json",
     1,
     {R"("light": {"path": "", "directory": "", "baseName": "", "extension": "", )"
      R"("read": false, "size": 0})",
      R"("camera": null)"}},
    {"slashes in GROUP name the same file",
     {{"sub/x.grp", ""}},
     "--json sub/x.grp",
     1,
     {R"("group": {"path": "sub\\x.grp", "directory": "sub\\", "baseName": "x", )"
      R"("extension": ".grp", "read": true, "size": 0})"}},
    {"summary says where the load stopped",
     {{"dork/dork.grp", kGroupAll}, {"dork/s.lgt", kLights}},
     "",
     1,
     {"load result: -1 (dork\\s.cam could not be read)", "not read: the load stopped here",
      "not reached", "lights: 1", "lamp"}},
    {"summary names a kind the group file leaves out",
     {{"dork/dork.grp", "include \"s.cam\""}},
     "",
     1,
     {"(the group file names no light file)"}},
    {"help goes to standard output", {}, "--help", 0, {"usage: scene-inspect"}},
    {"version goes to standard output", {}, "--version", 0, {"scene-inspect "}},
    {"unknown option prints nothing on standard output", {}, "--bogus 2>/dev/null", 2, {}},
    {"two group files are a usage error", {}, "a.grp b.grp 2>/dev/null", 2, {}},
    {"mode after the group is still an option", {}, "x.grp --yaml 2>/dev/null", 2, {}},
};

TEST(SceneInspect, ExitStatusAndOutput) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const File& file : c.files) dir.Write(file.path, file.bytes);
    const auto run = RunProgram(SCENE_INSPECT_PATH, dir.root().string(), c.args);
    EXPECT_EQ(run.status, c.status);
    if (c.status == 2) {
      EXPECT_EQ(run.out, "");
    }
    for (const std::string& part : c.outputHas) {
      EXPECT_NE(run.out.find(part), std::string::npos) << "missing: " << part << "\n" << run.out;
    }
  }
}

// Each row is one material file; the dump must show the value with its exact encoding.
constexpr struct {
  const char* name;
  std::string_view material;
  std::string_view json;
} kValueCases[] = {
    {"zero byte in a name", "material a\0b ( GL_Shade )"sv, R"("name": "a\u0000b")"},
    {"quote and backslash in a name", "material \"q\\\" ( GL_Shade )", R"("name": "\"q\\\"")"},
    {"delete and high bytes in a name", "material \x7f\x80\xff ( GL_Shade )",
     R"("name": "\u007f\u0080\u00ff")"},
    {"negative zero keeps its sign", "material m ( GL_Shade OPACITY -0 )", R"("opacity": -0,)"},
    {"1e39 is beyond the float range", "material m ( GL_Shade OPACITY 1e39 )",
     R"("opacity": "inf",)"},
    {"-1e39 is negative infinity", "material m ( GL_Shade SHININESS -1e39 )",
     R"("shininess": "-inf",)"},
    {"subnormal keeps its few digits", "material m ( GL_Shade OPACITY 1e-40 )",
     R"("opacity": 1e-40,)"},
    {"smallest subnormal", "material m ( GL_Shade DIFFUSE-COLOR 1.4e-45 0 0 )",
     R"("diffuse": [1e-45, 0, 0])"},
};

TEST(SceneInspect, DumpsParsedValuesWithExactEncodings) {
  for (const auto& c : kValueCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("dork/dork.grp", kGroupAll);
    dir.Write("dork/s.lgt", "");
    dir.Write("dork/s.cam", "");
    dir.Write("dork/s.gmf", c.material);
    dir.Write("dork/s.gof", "");
    const auto run = RunProgram(SCENE_INSPECT_PATH, dir.root().string(), "--json");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(c.json), std::string::npos) << run.out;
  }
}

TEST(SceneInspect, SlashFormsOfTheDefaultGroupLoadTheSameScene) {
  const std::string examples = std::string(SCENEIO_SOURCE_DIR) + "/examples";
  const auto byDefault = RunProgram(SCENE_INSPECT_PATH, examples, "--json");
  ASSERT_EQ(byDefault.status, 0);
  for (const char* args : {"--json dork/dork.grp", "--json 'dork\\dork.grp'"}) {
    SCOPED_TRACE(args);
    const auto run = RunProgram(SCENE_INSPECT_PATH, examples, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out == byDefault.out);
  }
}

// Any number of threads dumps the same scene, and a scene that stops at a missing file the same
// partial one; the summary of a load is the one a single thread gives.
TEST(SceneInspect, ThreadsLoadTheSameScene) {
  const std::string examples = std::string(SCENEIO_SOURCE_DIR) + "/examples";
  TempDir broken;
  broken.Write("dork/dork.grp", "include \"s.lgt\"\ninclude \"s.cam\"\n");
  broken.Write("dork/s.lgt", "< (name \"a\" brightness 1 ) >\n");
  for (const std::string& dir : {examples, broken.root().string()}) {
    for (const char* mode : {"--json", ""}) {
      SCOPED_TRACE(dir + " " + mode);
      const auto one = RunProgram(SCENE_INSPECT_PATH, dir, std::string(mode) + " --threads 1");
      for (const char* threads : {" --threads 2", " --threads 5", ""}) {
        const auto run = RunProgram(SCENE_INSPECT_PATH, dir, std::string(mode) + threads);
        EXPECT_EQ(run.status, one.status);
        EXPECT_TRUE(run.out == one.out) << threads;
      }
    }
  }
}

}  // namespace
}  // namespace sceneio
