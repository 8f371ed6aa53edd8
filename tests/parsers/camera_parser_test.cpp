// The camera file: header up to ")", one block from "(" to ")", and files that lack either.
#include <gtest/gtest.h>

#include <string_view>

#include "parsers/record_expect.h"
#include "sceneio/camera.h"
#include "support/buffer_of.h"

// Expected records name only the fields that differ from the constructed values; the rest keep
// their member initialisers, which is exactly what this warning is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace sceneio {
namespace {

using testing::BufferOf;
using testing::SampleFile;

void ExpectSameCamera(const Camera& got, const Camera& want) {
  EXPECT_FIELD(name);
  EXPECT_FIELD(viewAngle);
  EXPECT_FIELD(hither);
  EXPECT_FIELD(yon);
  EXPECT_FIELD(location);
  EXPECT_FIELD(aim);
  EXPECT_FIELD(lookupVector);
}

void ExpectCamera(const CountedArray<Camera>& got, const Camera& want) {
  ASSERT_EQ(got.count, 1);
  ASSERT_NE(got.items, nullptr);
  ExpectSameCamera(got.items[0], want);
}

TEST(ParseCamera, SampleSceneCamera) {
  const FileBuffer file = SampleFile("dork.cam");
  CountedArray<Camera> camera;
  EXPECT_EQ(ParseCamera(file, camera), 0);
  ExpectCamera(camera, {.viewAngle = 45,
                        .hither = 0.1f,
                        .yon = 1000,
                        .location = {4, 3, 6},
                        .aim = {0, 0.5f, 0},
                        .lookupVector = {0, 1, 0}});
}

struct BodyCase {
  const char* name;
  std::string_view text;
  Camera want;
};

const BodyCase kBodyCases[] = {
    {"empty body", ") ( )", {}},
    {"one keyword", ") ( view-angle 45 )", {.viewAngle = 45}},
    {"vector components in file order", ") ( location 1 2 3 )", {.location = {1, 2, 3}}},
    {"keywords in any order",
     ") ( lookup-vector 0 0 1 aim 7 8 9 yon 3 hither 2 view-angle 1 )",
     {.viewAngle = 1, .hither = 2, .yon = 3, .aim = {7, 8, 9}, .lookupVector = {0, 0, 1}}},
    {"a repeated keyword keeps the later value", ") ( yon 100 yon 500 )", {.yon = 500}},
    {"keywords in the header are passed over", "hither 5 ) ( )", {}},
    {"keywords between header and block are passed over", ") yon 7 aim 1 1 1 ( )", {}},
    {"quoted name in the header fills nothing", "camera \"main\" ) ( )", {}},
    {"keywords are case-sensitive", ") ( VIEW-ANGLE 45 Yon 2 )", {}},
    {"a second block is never read", ") ( yon 1 ) ( yon 2 )", {.yon = 1}},
    {"value read by number syntax",
     ") ( view-angle 45deg hither 2 )",
     {.viewAngle = 45, .hither = 2}},
    {"signs, points and exponents", ") ( aim -1 +.5 2e-1 )", {.aim = {-1, 0.5f, 0.2f}}},
    {"parenthesis glued to a number ends the body", ") ( yon 5) hither 2 )", {.yon = 5}},
    {"parenthesis glued to a word ends nothing", ") ( foo) hither 2 )", {.hither = 2}},
    {"an inner opening parenthesis is passed over", ") ( ( yon 4 )", {.yon = 4}},
    {"stray numbers are passed over", ") ( 9 8 yon 4 )", {.yon = 4}},
    {"header parenthesis glued to a word is passed over", "camera) ) ( yon 4 )", {.yon = 4}},
    {"opening at the very last byte", ") (", {}},
    {"body without its closing parenthesis keeps what was read",
     ") ( yon 3 aim 1 2",
     {.yon = 3, .aim = {1, 2, 0}}},
    {"a failed number keeps the earlier value and stops", ") ( yon 3 yon x hither 2 )", {.yon = 3}},
    {"line ends of every kind", ")\r\n(\r\n\tyon\f6\v)\r\n", {.yon = 6}},
};

TEST(ParseCamera, FillsOneCamera) {
  for (const BodyCase& c : kBodyCases) {
    SCOPED_TRACE(c.name);
    const FileBuffer file = BufferOf(c.text);
    CountedArray<Camera> camera;
    EXPECT_EQ(ParseCamera(file, camera), 0);
    ExpectCamera(camera, c.want);
  }
}

// No camera block, so no camera: a made-up one would look like a real camera at the origin.
constexpr struct {
  const char* name;
  std::string_view text;
} kNoBlockCases[] = {
    {"empty file", ""},
    {"only whitespace", " \n\t\r\n"},
    {"no delimiters at all", "camera view-angle 45 yon 100"},
    {"header closed, block never opened", "camera ) view-angle 45 )"},
    {"header closed at the very last byte", "camera )"},
    {"block opened before the header closed", "( view-angle 45 )"},
    {"opening glued to a keyword", ") (view-angle 45 )"},
    {"header and opening glued together", "camera )( yon 5 )"},
};

TEST(ParseCamera, WithoutABlockMakesNoCamera) {
  for (const auto& c : kNoBlockCases) {
    SCOPED_TRACE(c.name);
    const FileBuffer file = BufferOf(c.text);
    CountedArray<Camera> camera;
    EXPECT_EQ(ParseCamera(file, camera), 0);
    EXPECT_EQ(camera.count, 0);
    EXPECT_EQ(camera.items, nullptr);
  }
}

// Every prefix of the sample file: no read past the cut, and the camera exists exactly when the
// cut keeps the block's "(".
TEST(ParseCamera, SampleCutAtEveryLength) {
  const FileBuffer sample = SampleFile("dork.cam");
  const std::string_view whole(sample.data.get(), static_cast<size_t>(sample.size));
  const size_t opening = whole.find('(');
  ASSERT_NE(opening, std::string_view::npos);
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    const FileBuffer file = BufferOf(whole.substr(0, length));
    CountedArray<Camera> camera;
    EXPECT_EQ(ParseCamera(file, camera), 0);
    const bool opened = length > opening;
    EXPECT_EQ(camera.items != nullptr, opened);
    EXPECT_EQ(camera.count, opened ? 1 : 0);
  }
}

}  // namespace
}  // namespace sceneio
