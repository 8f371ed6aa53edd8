// Reading a file whole, and splitting its path into directory, base name and extension.
#include "sceneio/file_buffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;
using namespace std::string_view_literals;

constexpr struct {
  const char* path;
  const char* directory;
  const char* baseName;
  const char* extension;
} kSplitCases[] = {
    {"dork\\dork.grp", "dork\\", "dork", ".grp"},
    {"scene.lgt", "", "scene", ".lgt"},
    {"a\\b\\name.old.lgt", "a\\b\\", "name.old", ".lgt"},
    {"a\\.x", "a\\", "", ".x"},
    {"a\\b.", "a\\", "b", "."},
    {"d.v\\file", "d.v\\", "file", ".v\\file"},
    {"a/b.lgt", "", "a/b", ".lgt"},
    {"noextension", "", "noextension", ""},
    {"dir\\", "dir\\", "", ""},
    {"", "", "", ""},
};

TEST(FileBufferSplit, MatchesTableWhetherOrNotTheFileExists) {
  for (const auto& c : kSplitCases) {
    SCOPED_TRACE(c.path);
    FileBuffer file(c.path);  // none of these names a file in the working directory
    EXPECT_EQ(file.path, c.path);
    EXPECT_EQ(file.directory, c.directory);
    EXPECT_EQ(file.baseName, c.baseName);
    EXPECT_EQ(file.extension, c.extension);
    EXPECT_EQ(file.data, nullptr);
    EXPECT_EQ(file.size, 0);
  }
}

TEST(FileBufferRead, NullPathLeavesEverythingEmpty) {
  FileBuffer file(nullptr);
  EXPECT_EQ(file.path, "");
  EXPECT_EQ(file.data, nullptr);
  EXPECT_EQ(file.size, 0);
}

constexpr struct {
  const char* name;
  std::string_view bytes;
} kContentCases[] = {
    {"empty file is read", ""},
    {"carriage returns stay", "a\r\nb\r\n"},
    {"zero byte and what follows stay", "ab\0cd"sv},
    {"high bytes stay", "\xFF\xFE\x80"},
};

TEST(FileBufferRead, HoldsTheBytesExactly) {
  TempDir dir;
  for (const auto& c : kContentCases) {
    SCOPED_TRACE(c.name);
    dir.Write("f/x.bin", c.bytes);
    FileBuffer file((dir.root().string() + "/f\\x.bin").c_str());
    ASSERT_NE(file.data, nullptr);
    ASSERT_EQ(file.size, static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(std::string_view(file.data.get(), c.bytes.size()), c.bytes);
    EXPECT_EQ(file.directory, dir.root().string() + "/f\\");
    EXPECT_EQ(file.baseName, "x");
    EXPECT_EQ(file.extension, ".bin");
  }
}

TEST(FileBufferRead, LoadFileReturnsTheCountAndOnlyOnce) {
  TempDir dir;
  dir.Write("a.txt", "first");
  dir.Write("b.txt", "second!");
  FileBuffer file;
  EXPECT_EQ(file.LoadFile((dir.root() / "a.txt").c_str()), 5);
  EXPECT_EQ(file.LoadFile((dir.root() / "b.txt").c_str()), 0);
  EXPECT_EQ(std::string_view(file.data.get(), file.size), "first");
  EXPECT_EQ(file.path, (dir.root() / "a.txt").string());

  FileBuffer empty;
  dir.Write("e.txt", "");
  EXPECT_EQ(empty.LoadFile((dir.root() / "e.txt").c_str()), 0);
  EXPECT_NE(empty.data, nullptr);  // read, though empty
}

TEST(FileBufferRead, DirectoryAndMissingFileAreNotRead) {
  TempDir dir;
  std::filesystem::create_directories(dir.root() / "sub.lgt");
  for (const std::string name : {"sub.lgt", "missing.lgt"}) {
    SCOPED_TRACE(name);
    FileBuffer file((dir.root() / name).c_str());
    EXPECT_EQ(file.data, nullptr);
    EXPECT_EQ(file.size, 0);
    EXPECT_EQ(file.extension, ".lgt");
  }
}

}  // namespace
}  // namespace sceneio
