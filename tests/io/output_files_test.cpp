// Output files: all of an output lands, or none of it does and what stood there stays; in memory
// the caller gets the same bytes and no file is touched.
#include "io/output_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/buffer_of.h"
#include "support/gltf_read.h"

namespace sceneio {
namespace {

using testing::TempDir;

std::map<std::string, std::string> Files(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string bytes = "(folder)";
    if (entry.is_regular_file()) bytes = testing::ReadBytes(entry.path());
    files[entry.path().filename().string()] = bytes;
  }
  return files;
}

// Three files as a .gltf output makes them: a written one, a copy, and the one naming both.
bool WriteThree(OutputFiles& files, const std::filesystem::path& dir, const std::string& source) {
  return files.Begin(dir / "a.bin") && files.Write("bin", 3) && files.End() &&
         files.Begin(dir / "a_tex.png") && files.Copy(source, 5) && files.End() &&
         files.Begin(dir / "a.gltf") && files.Write("{}", 2) && files.End() && files.Commit();
}

TEST(OutputFiles, AllOfAnOutputLandsOrNoneOfIt) {
  const struct {
    const char* name;
    const char* blocked;           // a folder in the way of this final path, or nullptr
    OutputFailure::Step expected;  // kNone: everything lands
  } kCases[] = {
      {"all land, earlier files replaced", nullptr, OutputFailure::Step::kNone},
      {"the last rename fails: the earlier two are put back", "a.gltf",
       OutputFailure::Step::kCommit},
      {"the second rename fails: the first is put back", "a_tex.png", OutputFailure::Step::kCommit},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir source;
    const std::string texture = source.Write("t.png", "PNG!!").string();
    TempDir dir;
    dir.Write("a.bin", "old bin");
    if (c.blocked != nullptr) {
      std::filesystem::remove(dir.root() / c.blocked);
      std::filesystem::create_directory(dir.root() / c.blocked);
    }
    const auto before = Files(dir.root());
    bool written = false;
    {
      OutputFiles files;
      written = WriteThree(files, dir.root(), texture);
      EXPECT_EQ(files.failure().step, c.expected);
      if (!written) {
        EXPECT_EQ(files.failure().path, dir.root() / c.blocked);
      }
    }
    EXPECT_EQ(written, c.expected == OutputFailure::Step::kNone);
    const std::map<std::string, std::string> landed = {
        {"a.bin", "bin"}, {"a_tex.png", "PNG!!"}, {"a.gltf", "{}"}};
    EXPECT_EQ(Files(dir.root()), written ? landed : before);
  }
}

TEST(OutputFiles, UncommittedFilesLeaveNothingBehind) {
  TempDir dir;
  dir.Write("out.glb", "earlier");
  {
    OutputFiles files;
    ASSERT_TRUE(files.Begin(dir.root() / "out.glb"));
    ASSERT_TRUE(files.Write("new", 3));
  }
  EXPECT_EQ(Files(dir.root()), (std::map<std::string, std::string>{{"out.glb", "earlier"}}));
}

// Folders made for an output stay when it lands and go when it does not, innermost first and
// only while empty; a folder that cannot be made names itself.
TEST(OutputFiles, FoldersMadeForAnOutputGoWithIt) {
  const struct {
    const char* name;
    const char* folder;      // under the temporary folder
    const char* blocked;     // a folder in the way of a.gltf's rename, or nullptr
    const char* afterwards;  // what the temporary folder holds, by Files
    OutputFailure::Step expected;
  } kCases[] = {
      {"made, and kept when the output lands", "new/deeper", nullptr, "new,x",
       OutputFailure::Step::kNone},
      {"made, and removed when a rename fails", "new/deeper", "new/deeper/a.gltf", "x",
       OutputFailure::Step::kCommit},
      {"a folder that is there stays when the output fails", "x", "x/a.gltf", "x",
       OutputFailure::Step::kCommit},
      {"a file in the way", "x/file/deeper", nullptr, "x", OutputFailure::Step::kFolder},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir source;
    const std::string texture = source.Write("t.png", "PNG!!").string();
    TempDir dir;
    dir.Write("x/file", "not a folder");
    const std::filesystem::path folder = dir.root() / c.folder;
    bool written = false;
    {
      OutputFiles files;
      if (files.MakeFolders(folder)) {
        if (c.blocked != nullptr) std::filesystem::create_directory(dir.root() / c.blocked);
        written = WriteThree(files, folder, texture);
      }
      EXPECT_EQ(files.failure().step, c.expected);
      if (c.expected == OutputFailure::Step::kFolder) {
        EXPECT_EQ(files.failure().Message(),
                  "cannot make the folder " + folder.string() + ": Not a directory");
      }
      // The folder in the way, the output's own doing here, goes before the output does.
      if (c.blocked != nullptr) std::filesystem::remove(dir.root() / c.blocked);
    }
    EXPECT_EQ(written, c.expected == OutputFailure::Step::kNone);
    std::string afterwards;
    for (const auto& [name, bytes] : Files(dir.root())) {
      afterwards += (afterwards.empty() ? "" : ",") + name;
    }
    EXPECT_EQ(afterwards, c.afterwards);
    if (written) {
      EXPECT_EQ(Files(folder).size(), 3u);
    }
  }
}

TEST(OutputFiles, ACopyOfAFileThatChangedFails) {
  TempDir dir;
  const std::string texture = dir.Write("t.png", "PNG!!!").string();  // 6 bytes, not 5
  OutputFiles files;
  ASSERT_TRUE(files.Begin(dir.root() / "copy.png"));
  EXPECT_FALSE(files.Copy(texture, 5));
  EXPECT_EQ(files.failure().step, OutputFailure::Step::kSourceChanged);
  EXPECT_EQ(files.failure().Message(),
            texture + " changed or vanished while the output was written");
}

TEST(OutputFiles, InMemoryTheCallerTakesTheBytesAndNoFileIsMade) {
  TempDir source;
  const std::string texture = source.Write("t.png", "PNG!!").string();
  TempDir dir;
  OutputFiles files(OutputFiles::Target::kMemory);
  ASSERT_TRUE(WriteThree(files, dir.root(), texture));
  EXPECT_EQ(files.TakeContents(), (std::vector<std::string>{"bin", "PNG!!", "{}"}));
  EXPECT_TRUE(Files(dir.root()).empty());
}

}  // namespace
}  // namespace sceneio
