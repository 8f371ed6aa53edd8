// The light list: counting by "(name", filling entry by entry, and where the list is missing.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "parsers/record_expect.h"
#include "sceneio/light.h"
#include "support/buffer_of.h"

// Expected records name only the fields that differ from the constructed values; the rest keep
// their member initialisers, which is exactly what this warning is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace sceneio {
namespace {

using testing::BufferOf;
using testing::SampleFile;

void ExpectSameLight(const Light& got, const Light& want) {
  EXPECT_FIELD(name);
  EXPECT_FIELD(brightness);
  EXPECT_FIELD(rgb);
  EXPECT_FIELD(direction);
  EXPECT_FIELD(extraVector1);
  EXPECT_FIELD(extraVector2);
  EXPECT_FIELD(extraFlag);
  EXPECT_FIELD(extraString);
  EXPECT_FIELD(extraInt);
  EXPECT_FIELD(extraPair);
}

void ExpectLights(const CountedArray<Light>& got, const std::vector<Light>& want) {
  ASSERT_NE(got.items, nullptr);
  ASSERT_EQ(got.count, static_cast<int32_t>(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSameLight(got.items[i], want[i]);
  }
}

TEST(ParseLights, SampleSceneHoldsTwoLights) {
  const FileBuffer file = SampleFile("dork.lgt");
  CountedArray<Light> lights;
  EXPECT_EQ(ParseLights(file, lights), 0);
  ExpectLights(lights, {
                           {.name = "key",
                            .brightness = 1.5f,
                            .rgb = {1, 0.95f, 0.8f},
                            .direction = {-0.5f, -1, -0.25f}},
                           {.name = "fill",
                            .brightness = 0.4f,
                            .rgb = {0.6f, 0.7f, 1},
                            .direction = {0.75f, -0.5f, 0.5f}},
                       });
}

struct ListCase {
  const char* name;
  std::string_view text;
  std::vector<Light> want;  // the whole array, in order
};

const ListCase kListCases[] = {
    {"empty list is a present empty array", "< >", {}},
    {"closing bracket at the very last byte",
     "<\n(name \"a\" brightness 2 )\n>",
     {{.name = "a", .brightness = 2}}},
    {"line end after the closing bracket",
     "<\n(name \"a\" brightness 2 )\n>\n",
     {{.name = "a", .brightness = 2}}},
    {"carriage returns, tabs and form feeds separate tokens",
     "<\r\n(name\t\"a\"\r\nbrightness\f3\v)\r\n>\r\n",
     {{.name = "a", .brightness = 3}}},
    {"names before and after the list are not counted",
     "(name \"x\" ) < (name \"a\" ) > (name \"y\" )",
     {{.name = "a"}}},
    {"a second opening bracket is an ordinary token", "< < (name \"a\" ) >", {{.name = "a"}}},
    {"keywords in any order, name last",
     "< direction 1 2 3 rgb 4 5 6 brightness 7 (name \"a\" ) >",
     {{.name = "a", .brightness = 7, .rgb = {4, 5, 6}, .direction = {1, 2, 3}}}},
    {"a repeated keyword keeps the later values",
     "< (name \"a\" rgb 1 1 1 rgb 0 0.5 1 ) >",
     {{.name = "a", .rgb = {0, 0.5f, 1}}}},
    {"keywords are case-sensitive",
     "< (name \"a\" Brightness 5 BRIGHTNESS 6 RGB 1 1 1 ) >",
     {{.name = "a"}}},
    {"stray numbers and words are passed over",
     "< (name \"a\" 9 foo 8 brightness 2 ) >",
     {{.name = "a", .brightness = 2}}},
    {"signs, points and exponents",
     "< (name \"a\" direction -1 +.5 2e-1 ) >",
     {{.name = "a", .direction = {-1, 0.5f, 0.2f}}}},
    {"value read by number syntax",
     "< (name \"a\" brightness 45deg ) >",
     {{.name = "a", .brightness = 45}}},
    {"parenthesis glued to a number ends the entry",
     "< (name \"a\" brightness 2) (name \"b\" brightness 3 ) >",
     {{.name = "a", .brightness = 2}, {.name = "b", .brightness = 3}}},
    {"parenthesis glued to a word ends nothing",
     "< (name \"a\" foo) brightness 2 ) >",
     {{.name = "a", .brightness = 2}}},
    {"name glued to its parenthesis keeps the entry open",
     "< (name \"a\") brightness 2 ) >",
     {{.name = "a", .brightness = 2}}},
    {"name without quotes loses its first byte", "< (name lamp ) >", {{.name = "amp"}}},
    {"quoted name with a space keeps the part before it",
     "< (name \"big lamp\" brightness 2 ) >",
     {{.name = "big", .brightness = 2}}},
    {"parenthesis right after name is the name",
     "< (name ) brightness 2 ) >",
     {{.name = "", .brightness = 2}}},
    {"name keyword split in two is not counted", "< ( name \"a\" ) >", {}},
    {"an entry without a name is filled but not counted",
     "< brightness 9 ) (name \"a\" brightness 1 ) >",
     {{.brightness = 9}}},
    {"more names than entries: the rest stay constructed",
     "< (name \"a\" (name \"b\" brightness 1 ) >",
     {{.name = "b", .brightness = 1}, {}}},
    {"an entry without its parenthesis runs on to the end",
     "< (name \"a\" brightness 2 > brightness 3",
     {{.name = "a", .brightness = 3}}},
    {"a failed number keeps the earlier value and stops",
     "< (name \"a\" brightness 1 brightness x rgb 1 1 1 ) (name \"b\" ) >",
     {{.name = "a", .brightness = 1}, {}}},
    {"list cut inside a value", "< (name \"a\" rgb 1 0.5 > ", {{.name = "a", .rgb = {1, 0.5f, 0}}}},
};

TEST(ParseLights, FillsTheList) {
  for (const ListCase& c : kListCases) {
    SCOPED_TRACE(c.name);
    const FileBuffer file = BufferOf(c.text);
    CountedArray<Light> lights;
    EXPECT_EQ(ParseLights(file, lights), 0);
    ExpectLights(lights, c.want);
  }
}

constexpr struct {
  const char* name;
  std::string_view text;
} kNoListCases[] = {
    {"empty file", ""},
    {"only whitespace", " \r\n\t "},
    {"no opening bracket", "lights 1 (name \"a\" ) >"},
    {"opening bracket glued to the first entry", "<(name \"a\" )\n>\n"},
    {"opening bracket at the very last byte", "lights 1 <"},
    {"opening bracket without a closing one", "< (name \"a\" brightness 2 )\n"},
    {"closing bracket only before the opening one", "> (name \"a\" ) <\n"},
    {"closing bracket glued to a parenthesis", "< (name \"a\" )>"},
};

TEST(ParseLights, WithoutAListLeavesTheCollectionUntouched) {
  for (const auto& c : kNoListCases) {
    SCOPED_TRACE(c.name);
    const FileBuffer file = BufferOf(c.text);
    CountedArray<Light> lights;
    EXPECT_EQ(ParseLights(file, lights), -1);
    EXPECT_EQ(lights.count, 0);
    EXPECT_EQ(lights.items, nullptr);
  }
}

// Every prefix of the sample file: no read past the cut (the buffer is exact-size), and the
// array exists exactly when the cut keeps the closing ">".
TEST(ParseLights, SampleCutAtEveryLength) {
  const FileBuffer sample = SampleFile("dork.lgt");
  const std::string_view whole(sample.data.get(), static_cast<size_t>(sample.size));
  const size_t closing = whole.rfind('>');
  ASSERT_NE(closing, std::string_view::npos);
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    const FileBuffer file = BufferOf(whole.substr(0, length));
    CountedArray<Light> lights;
    const int32_t result = ParseLights(file, lights);
    const bool listClosed = length > closing;
    EXPECT_EQ(result, listClosed ? 0 : -1);
    EXPECT_EQ(lights.items != nullptr, listClosed);
    EXPECT_EQ(lights.count, listClosed ? 2 : 0);
  }
}

}  // namespace
}  // namespace sceneio
