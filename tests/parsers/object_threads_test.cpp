// The object file read by several threads gives the Bodies of one thread, bit for bit, on text
// that keeps to the entry layouts and on text that breaks them anywhere in a long list.
#include "parsers/object_threads.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "sceneio/body.h"
#include "support/body_text.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::BufferOf;
using testing::Flatten;

// A body whose lists are long enough to be read in many pieces at the spacings below.
std::string LongBody(int entries) {
  std::string text = "gobject-file 1\nbody \"ring\" (\n  vertices[] <\n";
  for (int i = 0; i < entries; ++i) {
    text += "    v " + std::to_string(i) + ".25 -" + std::to_string(i % 7) + ".5 1e" +
            std::to_string(i % 3) + ", 0 0 1\n";
  }
  text += "  >\n  normals[] <\n";
  for (int i = 0; i < entries; ++i) text += "    0 -1 0." + std::to_string(i) + ", 0 0 1\n";
  text += "  >\n  uv-array[] <\n";
  for (int i = 0; i < entries; ++i) text += "    uv (0." + std::to_string(i) + " v0.5) 0 0 1\n";
  text += "  >\n  faces[] <\n";
  for (int i = 0; i < entries; ++i) {
    const std::string n = std::to_string(i);
    text += "    tri ( " + n + ", 1, 2) normal-index smooth group 0 ( 3, " + n +
            ", 5) uv ( 6, 7, " + n + ")\n";
  }
  text += "  >\n  face-parts[] < 2 \"outer\" - \"inner\" 2 : 0, 1, >) end\n";
  text += "  segments[] <\n    seg 0 1 edge 0 0 1\n  >\n)\ngobject end\n";
  return text;
}

// `text` with the first occurrence of `from` after `after` replaced by `to`.
std::string Changed(std::string text, std::string_view after, std::string_view from,
                    std::string_view to) {
  const size_t at = text.find(from, text.find(after));
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct Row {
  const char* what;
  std::string text;
};

std::vector<Row> Rows() {
  const std::string good = LongBody(400);
  std::vector<Row> rows = {
      {"well-formed lists", good},
      {"two bodies", good + good},
      {"a number that is no number deep in the vertices",
       Changed(good, "v 200.25", "v 200.25", "v abc")},
      {"an entry one token longer in the vertices (reads go out of step)",
       Changed(good, "v 100.25", ", 0 0 1", ", 0 0 0 1")},
      {"an entry one token shorter in the faces",
       Changed(good, "tri ( 250,", "normal-index smooth", "smooth")},
      {"an integer with no tail in the faces", Changed(good, "tri ( 300,", "300,", "300 ,")},
      {"a \">\" inside a normal entry", Changed(good, "0.250, 0 0 1", "0.250, 0 0 1", "> 0 0 1")},
      {"an exponent cut short in the normals", Changed(good, "0.150, 0", "0.150,", "1e,")},
      {"a character read that meets a space in the uvs",
       Changed(good, "uv (0.333", "(0.333", "( 0.333")},
      {"the text cut inside the faces", good.substr(0, good.find("tri ( 333,") + 5)},
      {"the text cut inside the vertices", good.substr(0, good.find("v 399.25") + 3)},
      {"a repeated vertex list", Changed(good, "normals[] <", "normals[] <", "vertices[] <")},
      {"an opening \">\" before a long list", Changed(good, "faces[] <", "faces[] <", "faces[] >")},
      {"carriage returns and tabs",
       Changed(Changed(good, "v 10.25", "\n", "\r\n"), "v 20", " ", "\t")},
      {"a zero byte inside a token",
       Changed(good, "v 50.25", "v 50.25", std::string("v 5\0.25", 7))},
  };
  return rows;
}

class ObjectThreads : public ::testing::TestWithParam<size_t> {};

TEST_P(ObjectThreads, SameBodiesAsOneThread) {
  const Row row = Rows()[GetParam()];
  SCOPED_TRACE(row.what);
  const FileBuffer file = BufferOf(row.text);
  CountedArray<Body> alone;
  ASSERT_EQ(ParseObjects(file, alone), 0);
  const std::string expected = Flatten(alone);
  for (int threads : {2, 3, 4}) {
    // Pieces of a few entries each, and of a few hundred bytes, so that every kind of list is
    // split, and the places above fall inside pieces, at their starts and between them.
    for (int32_t spacing : {64, 100, 700, 4096}) {
      CountedArray<Body> shared;
      ASSERT_EQ(ParseObjectsWithThreads(file, shared, nullptr, threads, spacing), 0);
      EXPECT_EQ(Flatten(shared), expected) << threads << " threads, marks every " << spacing;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ObjectThreads, ::testing::Range<size_t>(0, Rows().size()));

}  // namespace
}  // namespace sceneio
