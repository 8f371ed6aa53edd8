// Finding each data file through the group file's include entries.
#include "scene/include_resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::BufferOf;
using namespace std::string_view_literals;

constexpr const char* kNull = nullptr;

constexpr struct {
  const char* name;
  std::string_view group;
  const char* extension;
  const char* path;  // null: no entry serves the extension
} kResolveCases[] = {
    {"quoted name", "include \"l.lgt\"", ".lgt", "dir\\l.lgt"},
    {"entries in any order", "include \"o.gof\" include \"c.cam\"\ninclude \"l.lgt\"", ".cam",
     "dir\\c.cam"},
    {"no entry for the kind", "include \"l.lgt\"\n", ".cam", kNull},
    {"no entry, no line end", "include \"l.lgt\"", ".gmf", kNull},
    {"empty group file", "", ".lgt", kNull},
    {"bare name loses its first letter", "include lights.lgt", ".lgt", "dir\\ights.lgt"},
    {"text after the closing quote dropped", "include \"a.lgt\"x", ".lgt", "dir\\a.lgt"},
    {"missing closing quote", "include \"a.lgt", ".lgt", "dir\\a.lgt"},
    {"first entry wins", "include \"one.lgt\" include \"two.lgt\"", ".lgt", "dir\\one.lgt"},
    {"one name serves two kinds (camera)", "include \"a.cam.lgt\"", ".cam", "dir\\a.cam.lgt"},
    {"one name serves two kinds (light)", "include \"a.cam.lgt\"", ".lgt", "dir\\a.cam.lgt"},
    {"extension need not end the name", "include \"lights.lgt.old\"", ".lgt",
     "dir\\lights.lgt.old"},
    {"extension is case-sensitive", "include \"A.LGT\"", ".lgt", kNull},
    {"keyword glued to the name is no entry", "include\"a.lgt\"", ".lgt", kNull},
    {"keyword is case-sensitive", "INCLUDE \"a.lgt\"", ".lgt", kNull},
    {"include as a name opens the next entry", "include include \"x.lgt\"", ".lgt", "dir\\x.lgt"},
    {"match made before the quote is cut", "include \"a\".lgt", ".lgt", "dir\\a"},
    {"other tokens between entries", "group 1 { include \"l.lgt\" } x", ".lgt", "dir\\l.lgt"},
    {"keyword as the last token", "include \"l.lgt\" include", ".cam", kNull},
    {"matched name at the last byte is returned", "include \"c.cam\"", ".cam", "dir\\c.cam"},
    {"name token holding a zero byte ends there", "include \"a\0b.lgt\""sv, ".lgt", "dir\\a"},
    {"absolute name is still joined", "include \"/etc/x.lgt\"", ".lgt", "dir\\/etc/x.lgt"},
};

TEST(ResolveIncludeTest, MatchesTable) {
  for (const auto& c : kResolveCases) {
    SCOPED_TRACE(c.name);
    FileBuffer group = BufferOf(c.group);
    group.directory = "dir\\";
    std::unique_ptr<char[]> path = ResolveInclude(group, c.extension);
    if (c.path == nullptr) {
      EXPECT_EQ(path, nullptr);
    } else {
      ASSERT_NE(path, nullptr);
      EXPECT_STREQ(path.get(), c.path);
    }
  }
}

TEST(ResolveIncludeTest, EveryKindFindsItsOwnEntryInAnyOrder) {
  FileBuffer group =
      BufferOf("include \"o.gof\" include \"m.gmf\" include \"l.lgt\" include \"c.cam\"");
  for (const char* ext : {".gof", ".lgt", ".cam", ".gmf", ".lgt"}) {
    std::unique_ptr<char[]> path = ResolveInclude(group, ext);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path.get()).substr(1), ext);
  }
}

TEST(ResolveIncludeTest, GroupWithoutDirectoryGivesBareNames) {
  FileBuffer group = BufferOf("include \"l.lgt\"");
  std::unique_ptr<char[]> path = ResolveInclude(group, ".lgt");
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path.get(), "l.lgt");
}

}  // namespace
}  // namespace sceneio
