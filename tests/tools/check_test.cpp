// scene-inspect --check: one small broken scene per finding with the exact report it must give,
// the same loaded values with and without checking, and the program's exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/diagnostics.h"
#include "sceneio/dump.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "support/run_program.h"

namespace sceneio {
namespace {

using testing::RunProgram;
using testing::TempDir;

struct File {
  const char* name;  // in the scene's directory, dork/
  std::string_view bytes;
};

// A clean scene; each row replaces some of its files.
const File kCleanScene[] = {
    {"dork.grp", "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"},
    {"s.lgt", "<\n(name \"a\" brightness 1 )\n>\n"},
    {"s.cam", ") (\nview-angle 45\n)\n"},
    {"s.gmf", "material m ( GL_Shade OPACITY 1 )\n"},
    {"s.gof", "body b ( vertices[] <\n  v 1 2 3, 0 0 1\n> )\n"},
};

struct CheckCase {
  const char* name;
  std::vector<File> files;  // written over the clean scene; a null `bytes` data removes the file
  std::string report;       // paths relative to the scene's root
};

const CheckCase kCheckCases[] = {
    {"clean scene", {}, "0 errors, 0 warnings\n"},

    // The load itself.
    {"group file not readable",
     {{"dork.grp", {}}},
     "dork/dork.grp:1:1: error: cannot read the group file\n"
     "1 errors, 0 warnings\n"},
    {"kind not named",
     {{"dork.grp", "include \"s.lgt\"\n"}},
     "dork/dork.grp:1:1: error: no 'include' entry names the camera file ('.cam'): the load "
     "fails here\n"
     "1 errors, 0 warnings\n"},
    {"named file not readable",
     {{"dork.grp", "include \"s.lgt\"\ninclude \"s.cam\"\n  include \"gone.gmf\"\n"}},
     "dork/dork.grp:3:11: error: cannot read 'dork/gone.gmf', the material file named here: the "
     "load fails here\n"
     "1 errors, 0 warnings\n"},

    // The group file.
    {"kind named twice",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "include \"t.lgt\"\n"}},
     "dork/dork.grp:5:9: warning: a second entry for the light file ('.lgt'): only the first, "
     "'\"s.lgt\"', is read\n"
     "0 errors, 1 warnings\n"},
    {"include name without its opening quote",
     {{"dork.grp", "include \"s.lgt\"\ninclude \"s.cam\"\ninclude xs.gmf\"\ninclude \"s.gof\"\n"}},
     "dork/dork.grp:3:9: warning: the name 'xs.gmf\"' has no opening quote, so its first "
     "character is dropped: it names 's.gmf'\n"
     "0 errors, 1 warnings\n"},
    {"include in another letter case",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\nINCLUDE x\n"}},
     "dork/dork.grp:5:1: warning: 'INCLUDE' is not the keyword 'include': keywords are "
     "case-sensitive, so it is passed over\n"
     "0 errors, 1 warnings\n"},

    // The group file's body-material entries: the scene has body b and material m.
    {"body-material entries the scene can use",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "body-material b m\n"}},
     "0 errors, 0 warnings\n"},
    {"body-material naming a body and a material the scene lacks",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "body-material \"b\" m\nbody-material b  \"m\"\n"}},
     "dork/dork.grp:5:15: warning: the scene has no body '\"b\"': this 'body-material' entry "
     "dresses nothing\n"
     "dork/dork.grp:6:18: warning: the scene has no material '\"m\"': this 'body-material' entry "
     "is passed over\n"
     "0 errors, 2 warnings\n"},
    {"body named twice",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "body-material b m body-material\tb m"}},
     "dork/dork.grp:5:33: warning: a second 'body-material' entry for the body 'b': it takes the "
     "place of the first, 'm'\n"
     "0 errors, 1 warnings\n"},
    {"body-material cut short before its material",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "body-material b m\r\n  body-material b"}},
     "dork/dork.grp:6:3: warning: this 'body-material' entry is cut short: the file ends before "
     "its material, so it dresses no body\n"
     "0 errors, 1 warnings\n"},
    {"body-material cut short before its body, in another letter case before it",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n"
       "Body-Material b m body-material"}},
     "dork/dork.grp:5:1: warning: 'Body-Material' is not the keyword 'body-material': keywords "
     "are case-sensitive, so it is passed over\n"
     "dork/dork.grp:5:19: warning: this 'body-material' entry is cut short: the file ends before "
     "its body, so it dresses no body\n"
     "0 errors, 2 warnings\n"},
    {"body-material entries are not matched when the load failed",
     {{"dork.grp",
       "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"t.gof\"\n"
       "body-material x y\n"}},
     "dork/dork.grp:4:9: error: cannot read 'dork/t.gof', the object file named here: the load "
     "fails here\n"
     "1 errors, 0 warnings\n"},

    // The light file.
    {"light value not a number",
     {{"s.lgt", "<\n(name \"a\"\n  brightness bright\n)\n>\n"}},
     "dork/s.lgt:3:14: error: expected a number after 'brightness', found 'bright': nothing "
     "after it in this file is read\n"
     "1 errors, 0 warnings\n"},
    {"light value not a number as the second of three",
     {{"s.lgt", "< (name \"a\" rgb 1 ,5 1 ) >"}},
     "dork/s.lgt:1:19: error: expected a number after 'rgb', found ',5': nothing after it in "
     "this file is read\n"
     "1 errors, 0 warnings\n"},
    {"light file without a list",
     {{"s.lgt", "lights 1\n"}},
     "dork/s.lgt:1:1: error: the file ends before the light list: '<' never comes\n"
     "1 errors, 0 warnings\n"},
    {"light list never closes",
     {{"s.lgt", "lights\n <\n(name \"a\" )\n"}},
     "dork/s.lgt:2:2: error: the file ends inside this light list: '>' never comes\n"
     "1 errors, 0 warnings\n"},
    {"file ends inside a light entry",
     {{"s.lgt", "<\n(name \"a\" )\n(name \"b\" brightness 2\n>\n"}},
     "dork/s.lgt:3:1: error: the file ends inside this light entry: ')' never comes\n"
     "1 errors, 0 warnings\n"},
    {"light keyword in another letter case",
     {{"s.lgt", "<\n(name \"a\"\n\tBrightness 1 )\n>\n"}},
     "dork/s.lgt:3:2: warning: 'Brightness' is not the keyword 'brightness': keywords are "
     "case-sensitive, so it is passed over\n"
     "0 errors, 1 warnings\n"},
    {"parenthesis glued to a light keyword",
     {{"s.lgt", "<\n(name \"a\" rgb) 1 1 1 )\n>\n"}},
     "dork/s.lgt:2:11: warning: 'rgb)' is no keyword: a parenthesis written against 'rgb' forms "
     "one token with it; put a space between them\n"
     "0 errors, 1 warnings\n"},
    {"light name without its opening quote",
     {{"s.lgt", "<\n(name key\" )\n>\n"}},
     "dork/s.lgt:2:7: warning: the name 'key\"' has no opening quote, so its first character is "
     "dropped: the light is named 'ey'\n"
     "0 errors, 1 warnings\n"},
    {"light entry without (name",
     {{"s.lgt", "<\n(name \"a\" )\n  brightness 2 )\n(name \"c\" )\n>\n"}},
     "dork/s.lgt:3:3: warning: this light entry has no '(name': it is read, but only '(name' "
     "tokens count lights, so the list's last entry is not read\n"
     "dork/s.lgt:4:1: warning: not read: the light file is read only up to the ')' of its last "
     "counted light\n"
     "0 errors, 2 warnings\n"},
    {"more (name tokens than entries",
     {{"s.lgt", "<\n(name \"a\" (name \"b\" )\n>\n"}},
     "dork/s.lgt:2:11: warning: a second '(name' in one light entry: each '(name' counts a "
     "light, so the list counts more lights than it has entries\n"
     "dork/s.lgt:3:1: error: the file ends inside this light entry: ')' never comes\n"
     "1 errors, 1 warnings\n"},
    {"data after the light list's last counted entry",
     {{"s.lgt", "<\n(name \"a\" )\n>\n(name \"late\" )\n"}},
     "dork/s.lgt:4:1: warning: not read: the light file is read only up to the ')' of its last "
     "counted light\n"
     "0 errors, 1 warnings\n"},

    // The camera file.
    {"data after the camera's )",
     {{"s.cam", ") (\nview-angle 45\n)\nyon 5\n"}},
     "dork/s.cam:4:1: warning: not read: nothing after the ')' of the camera block is read\n"
     "0 errors, 1 warnings\n"},
    {"parenthesis glued to a camera value",
     {{"s.cam", ") (\nview-angle 45 focal 35)\n)\n"}},
     "dork/s.cam:2:21: warning: the ')' of '35)' is no delimiter: a parenthesis written against "
     "a word forms one token with it; put a space between them\n"
     "0 errors, 1 warnings\n"},
    {"parenthesis glued to a camera keyword",
     {{"s.cam", ") (\n(view-angle 45\n)\n"}},
     "dork/s.cam:2:1: warning: '(view-angle' is no keyword: a parenthesis written against "
     "'view-angle' forms one token with it; put a space between them\n"
     "0 errors, 1 warnings\n"},
    {"camera header closed against its name",
     {{"s.cam", "camera \"main\")\n(\nview-angle 45\n)\n"}},
     "dork/s.cam:1:8: warning: the ')' of '\"main\")' is no delimiter: a parenthesis written "
     "against a word forms one token with it; put a space between them\n"
     "dork/s.cam:4:1: error: the file ends before the camera block: '(' never comes\n"
     "1 errors, 1 warnings\n"},
    {"camera value not a number",
     {{"s.cam", ") (\r\nyon far\r\n)\r\n"}},
     "dork/s.cam:2:5: error: expected a number after 'yon', found 'far': nothing after it in "
     "this file is read\n"
     "1 errors, 0 warnings\n"},
    {"CR LF is one line end, a lone CR is one too",
     {{"s.cam", ") (\r\n\r\nview-angle 45\rYon 5\n)\n"}},
     "dork/s.cam:4:1: warning: 'Yon' is not the keyword 'yon': keywords are case-sensitive, so "
     "it is passed over\n"
     "0 errors, 1 warnings\n"},

    // The material file.
    {"material block without GL_Shade",
     {{"s.gmf", "material a ( OPACITY 1 )\nmaterial b ( GL_Shade OPACITY 1 )\n"}},
     "dork/s.gmf:1:1: warning: this 'material' block has no 'GL_Shade': its name goes to the "
     "next block's material, whose own name is lost\n"
     "0 errors, 1 warnings\n"},
    {"material block without GL_Shade at the end",
     {{"s.gmf", "material m ( GL_Shade )\nmaterial late ( OPACITY 1 )\n"}},
     "dork/s.gmf:2:1: warning: this 'material' block is not read: it has no 'GL_Shade', and "
     "only 'GL_Shade' tokens count materials\n"
     "0 errors, 1 warnings\n"},
    {"material keyword in another letter case",
     {{"s.gmf", "material m ( GL_Shade Opacity 1 )\n"}},
     "dork/s.gmf:1:23: warning: 'Opacity' is not the keyword 'OPACITY': keywords are "
     "case-sensitive, so it is passed over\n"
     "0 errors, 1 warnings\n"},
    {"texture integer not a number",
     {{"s.gmf", "material m ( GL_Shade\n  TEXTURE-MAP ( width wide ) )\n"}},
     "dork/s.gmf:2:23: error: expected an integer after 'width', found 'wide': nothing after it "
     "in this file is read\n"
     "1 errors, 0 warnings\n"},
    {"file ends inside a texture block",
     {{"s.gmf", "material m ( GL_Shade\n  TEXTURE-MAP ( width 4\n"}},
     "dork/s.gmf:2:3: error: the file ends inside this texture block: ')' never comes\n"
     "1 errors, 0 warnings\n"},
    {"file ends inside a material block",
     {{"s.gmf", "GL_Shade\nmaterial m ( OPACITY 1 )\n"}},
     "dork/s.gmf:2:1: error: the file ends inside this material block: 'GL_Shade' never comes\n"
     "1 errors, 0 warnings\n"},

    // The object file.
    {"vertex entry without the comma after its third float",
     {{"s.gof", "body b (\n vertices[] <\n  v 1 2 3 0 0 1\n  v 1 2 3 0 0 1\n >\n)\n"}},
     "dork/s.gof:3:3: warning: the typed reads of this vertices[] entry take 8 tokens where 7 "
     "are counted: the entries after it are read out of step\n"
     "0 errors, 1 warnings\n"},
    {"face-part index without its tail",
     {{"s.gof", "body b (\n face-parts[] < 2 x - y 2 : 0, 1 >) end\n)\n"}},
     "dork/s.gof:2:32: warning: the typed reads of this face-parts[] entry take 2 tokens where 1 "
     "is counted: the entries after it are read out of step\n"
     "0 errors, 1 warnings\n"},
    {"object value not a number",
     {{"s.gof", "body b (\n normals[] <\n  0 zero 1, 0 0 1\n >\n)\n"}},
     "dork/s.gof:3:5: error: expected a number in this normals[] entry, found 'zero': nothing "
     "after it in this file is read\n"
     "1 errors, 0 warnings\n"},
    {"repeated section",
     {{"s.gof", "body b (\n normals[] < >\n normals[] < >\n)\n"}},
     "dork/s.gof:3:2: warning: a second normals[] section in this body: it replaces the first\n"
     "0 errors, 1 warnings\n"},
    {"tokens between bodies",
     {{"s.gof", "header 1\nbody a ( )\nstray tokens\nbody b ( )\ngobject end\n"}},
     "dork/s.gof:3:1: warning: 'stray' stands between bodies, where only 'body' or 'gobject' may "
     "follow a body's ')': it is passed over\n"
     "0 errors, 1 warnings\n"},
    {"section keyword in another letter case",
     {{"s.gof", "body b (\n  Faces[] < >\n)\n"}},
     "dork/s.gof:2:3: warning: 'Faces[]' is not the keyword 'faces[]': keywords are "
     "case-sensitive, so it is passed over\n"
     "0 errors, 1 warnings\n"},
    {"file ends inside a list",
     {{"s.gof", "body b (\n segments[] <\n  seg 0 1 edge 0 0 1\n"}},
     "dork/s.gof:2:2: error: the file ends inside this section: '>' never comes\n"
     "1 errors, 0 warnings\n"},
    {"file ends inside a body",
     {{"s.gof", "body a ( )\n body b (\n normals[] < >\n"}},
     "dork/s.gof:2:2: error: the file ends inside this body: ')' never comes\n"
     "1 errors, 0 warnings\n"},
};

// The report with the temporary root taken off its paths.
std::string RelativeReport(const std::vector<Finding>& findings, const std::string& root) {
  std::string report = CheckReport(findings);
  for (size_t at = report.find(root); at != std::string::npos; at = report.find(root, at)) {
    report.erase(at, root.size());
  }
  return report;
}

TEST(CheckLoad, ReportsEachFinding) {
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const File& file : kCleanScene) dir.Write(std::string("dork/") + file.name, file.bytes);
    for (const File& file : c.files) {
      const std::string path = std::string("dork/") + file.name;
      if (file.bytes.data() == nullptr) {
        std::filesystem::remove(dir.root() / path);
      } else {
        dir.Write(path, file.bytes);
      }
    }

    Scene checked;
    std::vector<Finding> findings;
    const int32_t checkedResult =
        CheckLoad(checked, dir.GroupPath().c_str(), findings).ok() ? 0 : -1;
    EXPECT_EQ(RelativeReport(findings, dir.root().string() + "/"), c.report);

    // Checking must not change what is loaded.
    Scene plain;
    const int32_t plainResult = plain.Load(dir.GroupPath().c_str());
    EXPECT_EQ(checkedResult, plainResult);
    EXPECT_TRUE(SceneJson(checked, checkedResult) == SceneJson(plain, plainResult));
  }
}

TEST(CheckLoad, SampleSceneLoadsTheSameWhenChecked) {
  Scene checked;
  std::vector<Finding> findings;
  const int32_t checkedResult =
      CheckLoad(checked, testing::SampleGroupPath().c_str(), findings).ok() ? 0 : -1;
  EXPECT_TRUE(findings.empty());
  Scene plain;
  const int32_t plainResult = plain.Load(testing::SampleGroupPath().c_str());
  ASSERT_EQ(plainResult, 0);
  EXPECT_EQ(checkedResult, plainResult);
  EXPECT_TRUE(SceneJson(checked, checkedResult) == SceneJson(plain, plainResult));
}

struct RunCase {
  const char* name;
  const char* directory;  // under the source tree
  const char* args;
  int status;
  const char* out;  // exactly, or null to leave it unexamined
};

const RunCase kRunCases[] = {
    {"sample scene is clean", "examples", "--check", 0, "0 errors, 0 warnings\n"},
    {"sample scene by its path", "examples", "--check dork/dork.grp", 0, "0 errors, 0 warnings\n"},
    {"a finding makes the status 1", "examples", "--check no/such.grp", 1,
     "no/such.grp:1:1: error: cannot read the group file\n1 errors, 0 warnings\n"},
    {"--check with another mode is a usage error", "examples", "--check --json 2>/dev/null", 2, ""},
};

TEST(SceneInspectCheck, ExitStatusAndOutput) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.name);
    const auto run =
        RunProgram(SCENE_INSPECT_PATH, std::string(SCENEIO_SOURCE_DIR) + "/" + c.directory, c.args);
    EXPECT_EQ(run.status, c.status);
    if (c.out != nullptr) {
      EXPECT_EQ(run.out, c.out);
    }
  }
}

}  // namespace
}  // namespace sceneio
