// The writer's promise: whatever the loader made of any input, the written files load back as the
// same scene (its whole dump but the file paths), and writing that scene again gives the same
// bytes. Checked over the conformance scenes and every committed fuzz corpus input; what is
// refused must be one of the classes a loaded scene can hold, and a well-formed scene never is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/dump.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"
#include "support/buffer_of.h"
#include "writers/writers.h"

namespace sceneio {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The dump names the files a scene came from, which differ between the two loads by design.
std::string DumpWithoutFiles(const Scene& scene, int32_t result) {
  std::string dump = SceneJson(scene, result);
  const size_t from = dump.find(",\n  \"files\": ");
  const size_t to = dump.find(",\n  \"lights\": ");
  if (from != std::string::npos && to != std::string::npos) dump.erase(from, to - from);
  return dump;
}

void WriteText(const TempDir& dir, const std::string& folder, const SceneText& text) {
  dir.Write(folder + "/s.grp", text.group);
  dir.Write(folder + "/s.lgt", text.lights);
  dir.Write(folder + "/s.cam", text.camera);
  dir.Write(folder + "/s.gmf", text.materials);
  dir.Write(folder + "/s.gof", text.objects);
}

// The refusal classes a loaded scene can fall into; the others need a scene built in memory.
constexpr std::string_view kLoadableClasses[] = {refusal::kUnreached, refusal::kEmptyBodyName,
                                                 refusal::kFacePartsCutShort,
                                                 refusal::kCountedName};

std::string_view ClassOf(const std::string& message) {
  for (std::string_view klass : kLoadableClasses) {
    if (message.find(": " + std::string(klass) + ": ") != std::string::npos) return klass;
  }
  return {};
}

struct Tally {
  int loaded = 0;
  int written = 0;
  std::map<std::string, int> refused;  // by class
};

// Loads `groupPath`; when it loads, writes it, loads that, and compares. Failures are reported
// through gtest with `label`.
void RoundTrip(const std::string& label, const std::string& groupPath, bool wellFormed,
               Tally& tally) {
  SCOPED_TRACE(label);
  Scene first;
  const int32_t result = first.Load(groupPath.c_str());
  if (result != 0) return;
  ++tally.loaded;
  SceneText text;
  const Status status = WriteSceneText(first, "s", {}, text);
  if (!status.ok()) {
    EXPECT_FALSE(wellFormed) << "a well-formed scene was refused: " << status.message;
    EXPECT_EQ(status.code, StatusCode::kInvalidScene) << status.message;
    const std::string_view klass = ClassOf(status.message);
    EXPECT_FALSE(klass.empty()) << "refused for no class a loaded scene can hold: "
                                << status.message;
    ++tally.refused[std::string(klass)];
    return;
  }
  ++tally.written;
  TempDir dir;
  WriteText(dir, "w", text);
  Scene second;
  ASSERT_EQ(second.Load((dir.root().string() + "/w\\s.grp").c_str()), 0);
  EXPECT_EQ(DumpWithoutFiles(second, 0), DumpWithoutFiles(first, 0));

  SceneText again;
  ASSERT_TRUE(WriteSceneText(second, "s", {}, again).ok());
  EXPECT_EQ(again.group, text.group);
  EXPECT_EQ(again.lights, text.lights);
  EXPECT_EQ(again.camera, text.camera);
  EXPECT_EQ(again.materials, text.materials);
  EXPECT_EQ(again.objects, text.objects);
}

fs::path ConformanceDir() {
  const char* override = std::getenv("SCENEIO_CONFORMANCE_DIR");
  if (override != nullptr && *override != '\0') return override;
  return fs::path(SCENEIO_SOURCE_DIR) / "../shared/conformance";
}

std::vector<fs::path> SortedEntries(const fs::path& dir) {
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(dir)) entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST(WriteRoundTrip, EveryConformanceSceneComesBackWhole) {
  const fs::path scenes = ConformanceDir() / "scenes";
  if (!fs::is_directory(scenes)) GTEST_SKIP() << "no conformance scenes at " << scenes;
  Tally tally;
  for (const fs::path& scene : SortedEntries(scenes)) {
    RoundTrip(scene.filename().string(), (scene / "dork").string() + "\\dork.grp", true, tally);
  }
  EXPECT_GT(tally.loaded, 0);
  EXPECT_EQ(tally.written, tally.loaded);
}

TEST(WriteRoundTrip, TheSampleComesBackWhole) {
  Tally tally;
  RoundTrip("sample", testing::SampleGroupPath(), true, tally);
  EXPECT_EQ(tally.written, 1);
}

// A corpus input is either the five files separated by 0x1F (the whole-scene targets) or one
// file of one kind, which stands in its kind's place beside empty files of the other kinds.
constexpr const char* kPartNames[] = {"dork.grp", "s.lgt", "s.cam", "s.gmf", "s.gof"};
constexpr const char* kGroupOfParts =
    "include \"s.lgt\" include \"s.cam\" include \"s.gmf\" "
    "include \"s.gof\"\n";

void WriteParts(const TempDir& dir, std::string_view input) {
  for (int i = 0; i < 5; ++i) {
    const size_t cut = input.find('\x1f');
    dir.Write(std::string("dork/") + kPartNames[i], input.substr(0, cut));
    if (cut == std::string_view::npos) break;
    input.remove_prefix(cut + 1);
  }
}

void WriteSingle(const TempDir& dir, int part, std::string_view input) {
  dir.Write("dork/dork.grp", kGroupOfParts);
  for (int i = 1; i < 5; ++i)
    dir.Write(std::string("dork/") + kPartNames[i], i == part ? input : "");
}

TEST(WriteRoundTrip, EveryFuzzCorpusInputComesBackOrIsRefusedForItsClass) {
  const fs::path corpora = fs::path(SCENEIO_SOURCE_DIR) / "fuzz/corpus";
  const std::map<std::string, int> singleKinds = {{"parse_lights_fuzz", 1},
                                                  {"parse_camera_fuzz", 2},
                                                  {"parse_materials_fuzz", 3},
                                                  {"parse_objects_fuzz", 4},
                                                  {"threaded_objects_fuzz", 4}};
  Tally tally;
  for (const fs::path& corpus : SortedEntries(corpora)) {
    const std::string target = corpus.filename().string();
    for (const fs::path& input : SortedEntries(corpus)) {
      const std::string bytes = ReadWhole(input);
      const std::string label = target + "/" + input.filename().string();
      std::vector<int> parts;
      if (singleKinds.count(target) != 0) {
        parts = {singleKinds.at(target)};
      } else if (target.find("token_reader") != std::string::npos) {
        parts = {1, 2, 3, 4};  // any bytes, read as each kind in turn
      } else {
        parts = {0};
      }
      for (int part : parts) {
        TempDir dir;
        if (part == 0) {
          WriteParts(dir, bytes);
        } else {
          WriteSingle(dir, part, bytes);
        }
        RoundTrip(label + " as " + kPartNames[part], dir.GroupPath(), false, tally);
      }
    }
  }
  EXPECT_GT(tally.written, 50);
  for (const auto& [klass, count] : tally.refused) {
    std::printf("refused for %s: %d of %d loaded inputs\n", klass.c_str(), count, tally.loaded);
  }
}

}  // namespace
}  // namespace sceneio
