// A load given an observer that overrides nothing (every call a no-op) loads exactly what the
// unobserved load does, on scenes that make the parsers call every part of the observer: the
// observed parse takes its own paths through every parser, and they must not differ in effect.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sceneio/dump.h"
#include "sceneio/parse_observer.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;

struct Row {
  const char* name;
  const char* file;  // under dork/, replacing the sample's; null keeps the sample whole
  const char* bytes;
};

const Row kRows[] = {
    {"the sample as it is", nullptr, nullptr},
    {"a light value that does not read", "s.lgt", "<\n(name \"a\" brightness x )\n>\n"},
    {"a light list never closed", "s.lgt", "<\n(name \"a\" brightness 2 )\n(name \"b\""},
    {"a camera block never closed", "s.cam", "camera \"c\" )\n(\n view-angle 45 hither"},
    {"a camera value that does not read", "s.cam", "camera \"c\" )\n(\n view-angle x\n)\n"},
    {"material keywords around stray tokens", "s.gmf",
     "material \"m\" (\n stray GL_Shade OPACITY 0.5 stray )\nmaterial \"n\" ( GL_Shade"},
    {"a repeated section, a token between bodies and a failed entry", "s.gof",
     "gobject-file 1\nbody \"a\" (\n vertices[] < v 1 2 3, 0 0 1 >\n"
     " vertices[] < v 4 5 6, 0 0 1 >\n stray\n)\nstray\nbody \"b\" (\n"
     " vertices[] < v 1 x 3, 0 0 1 >\n)\n"},
    {"face parts and faces that do not read", "s.gof",
     "body \"a\" (\n vertices[] < v 1 2 3, 0 0 1 >\n faces[] < tri ( 0, x, 0) >\n"
     " face-parts[] < 1 \"p\" - \"q\" 1 : y, >) end\n)\n"},
    {"an object file that ends inside a list", "s.gof", "body \"a\" ( vertices[] < v 1 2"},
};

std::string Dump(const char* group, ParseObserver* observer) {
  Scene scene;
  const int32_t result = observer == nullptr ? scene.Load(group) : scene.Load(group, observer);
  char* text = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  EXPECT_TRUE(WriteSceneJson(scene, result, out).ok());
  std::fclose(out);
  std::string dump(text, length);
  std::free(text);
  return dump;
}

TEST(ObservedLoad, AnObserverThatDoesNothingChangesNothing) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    testing::WriteSampleCopy(dir);
    if (row.file != nullptr) dir.Write(std::string("dork/") + row.file, row.bytes);
    ParseObserver silent;
    const std::string plain = Dump(dir.GroupPath().c_str(), nullptr);
    EXPECT_EQ(Dump(dir.GroupPath().c_str(), &silent), plain);
    EXPECT_NE(plain.find("\"result\": 0"), std::string::npos);  // malformed data never fails
  }
}

}  // namespace
}  // namespace sceneio
