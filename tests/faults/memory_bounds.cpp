// Inputs that would make a careless parser quadratic or unbounded in memory: repeated sections,
// counted tokens without entries. Every byte the parse takes through operator new is counted
// (faults/allocation_counter.h); memory must grow linearly with the file. A parse that read a
// quadratic number of tokens would not finish on the million-token rows, and the test's time
// limit ends it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "faults/allocation_counter.h"
#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::AllocationStats;
using testing::BufferOf;

enum class Kind { kLights, kCamera, kMaterials, kObjects };

std::string Repeat(const std::string& head, const std::string& unit, int n,
                   const std::string& tail) {
  std::string text = head;
  text.reserve(head.size() + unit.size() * static_cast<size_t>(n) + tail.size());
  for (int i = 0; i < n; ++i) text += unit;
  return text + tail;
}

struct Row {
  const char* name;
  Kind kind;
  const char* head;
  const char* unit;
  const char* tail;
  int n;  // the small size; the large one is four times as many units
};

const Row kRows[] = {
    {"a million (name tokens without entries", Kind::kLights, "<\n", "(name\n", ">\n", 250000},
    {"thousands of light entries", Kind::kLights, "<\n",
     "(name \"a\" brightness 1 rgb 1 1 1 direction 0 -1 0 )\n", ">\n", 5000},
    {"thousands of repeated camera keywords", Kind::kCamera, ") (\n", "location 1 2 3 yon 5\n",
     ")\n", 5000},
    {"a million GL_Shade tokens", Kind::kMaterials, "", "GL_Shade\n", "", 250000},
    {"thousands of material blocks", Kind::kMaterials, "",
     "material m ( GL_Shade DIFFUSE-COLOR 1 0 0 TEXTURE-MAP ( name t.png width 4 ) )\n", "", 5000},
    {"thousands of texture blocks in one material", Kind::kMaterials, "material m ( GL_Shade\n",
     "TEXTURE-MAP ( name texture.png width 4 height 4 ) OPACITY 1\n", ")\n", 5000},
    {"thousands of bodies", Kind::kObjects, "", "body b x )\n", "", 5000},
    {"thousands of repeated vertex sections", Kind::kObjects, "body b (\n",
     "vertices[] < v 1 2 3, 0 0 1 v 4 5 6, 0 0 1 >\n", ")\n", 5000},
    {"thousands of repeated face-part sections", Kind::kObjects, "body b (\n",
     "face-parts[] < 2 \"a\" - \"b\" 2 : 0, 1, >) end\n", ")\n", 5000},
    {"a million vertex keywords without entries", Kind::kObjects, "body b (\n", "vertices[]\n",
     ")\n", 250000},
};

struct Measured {
  AllocationStats stats;
  size_t bytes = 0;
};

// Bytes taken by the parse alone: the file is in memory before counting starts, and the
// collection is still held when the counters are read.
Measured Measure(Kind kind, const std::string& text) {
  const FileBuffer file = BufferOf(text);
  CountedArray<Light> lights;
  CountedArray<Camera> camera;
  CountedArray<Material> materials;
  CountedArray<Body> objects;
  testing::ResetAllocationStats();
  switch (kind) {
    case Kind::kLights:
      ParseLights(file, lights);
      break;
    case Kind::kCamera:
      ParseCamera(file, camera);
      break;
    case Kind::kMaterials:
      ParseMaterials(file, materials);
      break;
    case Kind::kObjects:
      ParseObjects(file, objects);
      break;
  }
  return {testing::CurrentAllocationStats(), text.size()};
}

constexpr size_t kSlack = 64 * 1024;

TEST(MemoryBounds, GrowLinearlyWithTheFile) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const Measured small = Measure(row.kind, Repeat(row.head, row.unit, row.n, row.tail));
    const Measured large = Measure(row.kind, Repeat(row.head, row.unit, 4 * row.n, row.tail));
    // Four times the file may take four times the memory, plus what geometric growth rounds.
    EXPECT_LE(large.stats.total, small.stats.total * 9 / 2 + kSlack)
        << small.stats.total << " bytes for " << small.bytes << " bytes of file";
    EXPECT_LE(large.stats.peak, small.stats.peak * 9 / 2 + kSlack);
    // And never more than a fixed multiple of the file: the largest record per shortest entry.
    EXPECT_LE(large.stats.total, 64 * large.bytes + kSlack) << large.bytes << " bytes of file";
  }
}

// A file whose length a 32-bit count cannot hold is not read, and nothing of its size is taken;
// 4 GiB + 1 would wrap to a length of 1.
TEST(MemoryBounds, OversizedObjectFileIsNeverAllocated) {
  for (const off_t length : {(off_t{1} << 31) + 1, (off_t{1} << 32) + 1}) {
    SCOPED_TRACE(length);
    testing::TempDir dir;
    dir.Write("dork/dork.grp",
              "include \"s.lgt\" include \"s.cam\" include \"s.gmf\" include \"s.gof\"\n");
    dir.Write("dork/s.lgt", "< >\n");
    dir.Write("dork/s.cam", ") ( )\n");
    dir.Write("dork/s.gmf", "\n");
    const std::filesystem::path big = dir.Write("dork/s.gof", "");
    ASSERT_EQ(truncate(big.c_str(), length), 0);  // sparse: no disk space is used
    Scene scene;
    testing::ResetAllocationStats();
    EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), -1);
    EXPECT_LT(testing::CurrentAllocationStats().largest, size_t{1} << 20);
    ASSERT_NE(scene.objectFile, nullptr);
    EXPECT_EQ(scene.objectFile->data, nullptr);
  }
}

}  // namespace
}  // namespace sceneio
