// Bodies of the object file: entry layouts, empty and repeated sections, the top level, and data
// that ends anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "sceneio/body.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::BufferOf;

// Shortest round-trip form: two floats print alike only when their bits are equal (-0 is "-0").
void AppendFloat(std::string& out, float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

template <typename T, typename AppendEntry>
void AppendList(std::string& out, const char* tag, const CountedArray<T>& list,
                AppendEntry appendEntry) {
  if (list.items == nullptr) return;  // absent: the section never came
  out += tag;
  out += '[';
  for (int32_t i = 0; i < list.count; ++i) {
    if (i > 0) out += ", ";
    appendEntry(list.items[i]);
  }
  out += ']';
}

// One body on one line: the name, then each array that is present ("v[]" is present and empty,
// an absent one is left out): v vertices, n normals, t uvs, p face parts, f faces.
std::string Dump(const Body& body) {
  std::string out = body.name;
  const auto vector = [&out](const Vector3& v) {
    AppendFloat(out, v.x);
    out += ' ';
    AppendFloat(out, v.y);
    out += ' ';
    AppendFloat(out, v.z);
  };
  AppendList(out, " v", body.vertices, vector);
  AppendList(out, " n", body.normals, vector);
  AppendList(out, " t", body.uvs, [&out](const Vector2& uv) {
    AppendFloat(out, uv.u);
    out += ' ';
    AppendFloat(out, uv.v);
  });
  const FacePartSet& parts = body.faceParts;
  if (parts.indices.items != nullptr || !parts.firstName.empty() || !parts.secondName.empty()) {
    out += " p(" + parts.firstName + ' ' + parts.secondName + ')';
    std::string indices;
    AppendList(indices, "", parts.indices, [&indices](int32_t i) { indices += std::to_string(i); });
    out += indices;
  }
  AppendList(out, " f", body.faces, [&out](const Face& face) {
    const int32_t* triples[] = {face.triple1, face.triple2, face.triple3};
    for (const int32_t* triple : triples) {
      if (triple != face.triple1) out += '/';
      out += std::to_string(triple[0]) + ' ' + std::to_string(triple[1]) + ' ' +
             std::to_string(triple[2]);
    }
  });
  return out;
}

// The body count, then each body in braces: "2 {a v[1 2 3]} {}".
std::string Dump(const CountedArray<Body>& bodies) {
  std::string out = std::to_string(bodies.count);
  for (const Body& body : bodies) out += " {" + Dump(body) + '}';
  return out;
}

CountedArray<Body> Parse(std::string_view text) {
  const FileBuffer file = BufferOf(text);
  CountedArray<Body> bodies;
  EXPECT_EQ(ParseObjects(file, bodies), 0);
  EXPECT_NE(bodies.items, nullptr);  // even without a body the array is present
  return bodies;
}

struct Case {
  const char* name;
  std::string_view text;
  std::string_view bodies;
};

void ExpectCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->name);
    EXPECT_EQ(Dump(Parse(c->text)), c->bodies);
  }
}

// Every value the sample scene writes, stated here by hand.
TEST(ParseObjects, SampleSceneBodies) {
  const FileBuffer file((std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/dork.gof").c_str());
  ASSERT_NE(file.data, nullptr);
  CountedArray<Body> bodies;
  ASSERT_EQ(ParseObjects(file, bodies), 0);
  ASSERT_EQ(bodies.count, 2);
  EXPECT_EQ(Dump(bodies.items[0]),
            "\"cube\""
            " v[-1 -1 -1, 1 -1 -1, 1 1 -1, -1 1 -1, -1 -1 1, 1 -1 1, 1 1 1, -1 1 1]"
            " n[0 0 -1, 0 0 1, 0 -1 0, 0 1 0, -1 0 0, 1 0 0]"
            " t[0 0, 1 0, 1 1, 0 1]"
            " p(\"sides\" \"top\")[0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11]"
            " f[0 3 2/0 0 0/0 1 2, 0 2 1/0 0 0/0 2 3, 4 5 6/1 1 1/0 1 2, 4 6 7/1 1 1/0 2 3,"
            " 0 1 5/2 2 2/0 1 2, 0 5 4/2 2 2/0 2 3, 3 7 6/3 3 3/0 1 2, 3 6 2/3 3 3/0 2 3,"
            " 0 4 7/4 4 4/0 1 2, 0 7 3/4 4 4/0 2 3, 1 2 6/5 5 5/0 1 2, 1 6 5/5 5 5/0 2 3]");
  EXPECT_EQ(Dump(bodies.items[1]),
            "\"pyramid\""
            " v[-1 0 -1, 1 0 -1, 1 0 1, -1 0 1, 0 1.5 0]"
            " n[0 -1 0, 0 0.5547 -0.83205, 0.83205 0.5547 0, 0 0.5547 0.83205,"
            " -0.83205 0.5547 0]"
            " t[0 0, 1 0, 0.5 1]"
            " p(\"base\" \"apex\")[0, 1]"
            " f[0 1 2/0 0 0/0 1 2, 0 2 3/0 0 0/0 2 1, 0 4 1/1 1 1/0 2 1, 1 4 2/2 2 2/0 2 1,"
            " 2 4 3/3 3 3/0 2 1, 3 4 0/4 4 4/0 2 1]");
}

constexpr Case kLayouts[] = {
    {"vertex: token, three floats, four tokens",
     "body b ( vertices[] < v 1 2 3, 0 0 1 v -1.5 0.25 1e3, 9 9 9 > )",
     "1 {b v[1 2 3, -1.5 0.25 1000]}"},
    {"normal: three floats, four tokens", "body b ( normals[] < 0 0 -1, 0 0 1 0.5 -0 2, 1 1 1 > )",
     "1 {b n[0 0 -1, 0.5 -0 2]}"},
    {"uv: token, char, float, char, float, four tokens",
     "body b ( uv-array[] < uv (0.5 v1) 0 0 1 uv (1 v0.25) 0 0 1 > )", "1 {b t[0.5 1, 1 0.25]}"},
    {"face: 18 tokens, nine integers with tails",
     "body b ( faces[] < tri ( 0, 3, 2) n s g 0 ( 4, 5, 6) uv ( 7, 8, -9) > )",
     "1 {b f[0 3 2/4 5 6/7 8 -9]}"},
    {"segments read past, seven tokens each",
     "body b ( segments[] < seg 0 1 edge 0 0 1 seg 1 2 edge 0 0 1 > vertices[] < v 1 2 3, 0 0 1 "
     "> )",
     "1 {b v[1 2 3]}"},
    {"face parts: names are header tokens 3 and 5, as read",
     "body b ( face-parts[] < 3 \"sides\" - \"top\" 3 : 4, 5, 6, >) end )",
     "1 {b p(\"sides\" \"top\")[4, 5, 6]}"},
    {"the token after face parts is never a section",
     "body b ( face-parts[] < 1 a - b 1 : 4, >) vertices[] normals[] < 1 2 3, 0 0 1 > )",
     "1 {b n[1 2 3] p(a b)[4]}"},
    {"name kept with its quotes; no sections", "body \"cube\" ( )", "1 {\"cube\"}"},
    {"token after the name is never the end", "body b ) vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3]}"},
    {"other tokens between sections passed over",
     "body b ( junk vertices[] < v 1 2 3, 0 0 1 > more > )", "1 {b v[1 2 3]}"},
    // Ill-formed: the counting pass ends the list at the entry's ">", the filling pass still
    // reads a closing token, and from then on is one token ahead of where the counting pass was.
    {"> as an entry's last token", "body b ( normals[] < 1 2 3, 0 0 > ) body c ( )",
     "2 {b n[1 2 3]} {}"},
};
TEST(ParseObjects, EntryLayouts) {
  ExpectCases(std::begin(kLayouts), std::end(kLayouts));
}

// Each empty list is followed by a section that is read only if the empty one took no more
// tokens in the filling pass than in the counting pass.
constexpr Case kEmptyLists[] = {
    {"vertices: opening then >", "body b ( vertices[] < > normals[] < 1 2 3, 0 0 1 > )",
     "1 {b v[] n[1 2 3]}"},
    {"vertices: opening token is >", "body b ( vertices[] > normals[] < 1 2 3, 0 0 1 > )",
     "1 {b v[] n[1 2 3]}"},
    {"normals: opening token is >", "body b ( normals[] > vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] n[]}"},
    {"uvs: opening token is >", "body b ( uv-array[] > vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] t[]}"},
    {"faces: opening then >", "body b ( faces[] < > vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] f[]}"},
    {"faces: opening token is >", "body b ( faces[] > vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] f[]}"},
    {"segments: opening token is >", "body b ( segments[] > vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3]}"},
    {"face parts: seventh header token is >)",
     "body b ( face-parts[] < 0 \"a\" - \"b\" 0 >) end vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] p(\"a\" \"b\")[]}"},
    {"face parts: >) right after the header",
     "body b ( face-parts[] < 0 \"a\" - \"b\" 0 : >) end vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {b v[1 2 3] p(\"a\" \"b\")[]}"},
};
TEST(ParseObjects, EmptyLists) {
  ExpectCases(std::begin(kEmptyLists), std::end(kEmptyLists));
}

constexpr Case kTopLevel[] = {
    {"no body at all", "gobject-file 1 x", "0"},
    {"empty data", "", "0"},
    {"gobject before the first body", "gobject body a ( )", "0"},
    {"gobject between bodies", "body a ( ) gobject body b ( )", "1 {a}"},
    {"gobject-file is not gobject", "gobject-file 1 body a ( )", "1 {a}"},
    {"gobject inside a body ends nothing", "body a ( gobject ) body b ( )", "2 {a} {b}"},
    {"tokens before and between bodies", "x y body a ( ) junk ) > body b ( )", "2 {a} {b}"},
    {"body name may be a keyword", "body body ( ) body ) ( )", "2 {body} {)}"},
};
TEST(ParseObjects, TopLevel) {
  ExpectCases(std::begin(kTopLevel), std::end(kTopLevel));
}

// A later occurrence is read with its own count and replaces the earlier one.
constexpr Case kRepeated[] = {
    {"vertices: longer then shorter",
     "body a ( vertices[] < v 1 1 1, 0 0 1 v 2 2 2, 0 0 1 > vertices[] < v 3 3 3, 0 0 1 > )",
     "1 {a v[3 3 3]}"},
    {"vertices: shorter then longer",
     "body a ( vertices[] < v 1 1 1, 0 0 1 > vertices[] < v 2 2 2, 0 0 1 v 3 3 3, 0 0 1 > )",
     "1 {a v[2 2 2, 3 3 3]}"},
    {"vertices: then an empty one", "body a ( vertices[] < v 1 1 1, 0 0 1 > vertices[] > )",
     "1 {a v[]}"},
    {"kinds interleaved",
     "body a ( vertices[] < v 1 1 1, 0 0 1 > normals[] < 5 5 5, 0 0 1 5 5 6, 0 0 1 >"
     " vertices[] < v 2 2 2, 0 0 1 v 3 3 3, 0 0 1 v 4 4 4, 0 0 1 > )",
     "1 {a v[2 2 2, 3 3 3, 4 4 4] n[5 5 5, 5 5 6]}"},
    {"faces", "body a ( faces[] > faces[] < t ( 1, 2, 3) a b c d ( 4, 5, 6) e ( 7, 8, 9) > )",
     "1 {a f[1 2 3/4 5 6/7 8 9]}"},
    {"uvs", "body a ( uv-array[] < uv (1 v1) 0 0 1 > uv-array[] < uv (2 v2) 0 0 1 > )",
     "1 {a t[2 2]}"},
    {"face parts: names and indices replaced",
     "body a ( face-parts[] < 1 \"a\" - \"b\" 1 : 5, >) end"
     " face-parts[] < 2 \"c\" - \"d\" 2 : 6, 7, >) end )",
     "1 {a p(\"c\" \"d\")[6, 7]}"},
    {"face parts: then one without indices",
     "body a ( face-parts[] < 1 \"a\" - \"b\" 1 : 5, >) end face-parts[] < 0 c - d 0 >) end )",
     "1 {a p(c d)[]}"},
    {"segments: one then two",
     "body a ( segments[] < s 0 1 e 0 0 1 > segments[] < s 0 1 e 0 0 1 s 1 2 e 0 0 1 >"
     " vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {a v[1 2 3]}"},
    {"segments: two then one",
     "body a ( segments[] < s 0 1 e 0 0 1 s 1 2 e 0 0 1 > segments[] < s 0 1 e 0 0 1 >"
     " vertices[] < v 1 2 3, 0 0 1 > )",
     "1 {a v[1 2 3]}"},
    {"counts do not leak into the next body",
     "body a ( vertices[] < v 1 1 1, 0 0 1 v 2 2 2, 0 0 1 > ) body b ( vertices[] > )",
     "2 {a v[1 1 1, 2 2 2]} {b v[]}"},
};
TEST(ParseObjects, RepeatedSections) {
  ExpectCases(std::begin(kRepeated), std::end(kRepeated));
}

// A failed number stops the reader: what it would have read, here and in later bodies, stays as
// constructed, though every body is still counted.
constexpr Case kBadNumbers[] = {
    {"non-numeric float in a vertex",
     "body a ( vertices[] < v 1 x 3, 0 0 1 v 4 5 6, 0 0 1 > normals[] < 1 1 1, 0 0 1 > )"
     " body b ( vertices[] < v 7 8 9, 0 0 1 > )",
     "2 {a v[1 0 0, 0 0 0]} {}"},
    {"non-numeric index in a face",
     "body a ( faces[] < t ( 1, x, 3) a b c d ( 4, 5, 6) e ( 7, 8, "
     "9) > ) body b ( )",
     "2 {a f[1 0 0/0 0 0/0 0 0]} {}"},
};
TEST(ParseObjects, BadNumbers) {
  ExpectCases(std::begin(kBadNumbers), std::end(kBadNumbers));
}

constexpr Case kDataEnds[] = {
    {"body at the last byte is not met", "x body", "0"},
    {"body then a line feed is an empty body", "body\n", "1 {}"},
    {"after the name", "body a", "1 {a}"},
    {"inside a body, after a list", "body a ( vertices[] < v 1 2 3, 0 0 1 >", "1 {a v[1 2 3]}"},
    {"after a list keyword", "body a ( vertices[]", "1 {a v[]}"},
    {"after the opening token", "body a ( vertices[] <\n", "1 {a v[]}"},
    {"after a whole entry", "body a ( vertices[] < v 1 2 3, 0 0 1", "1 {a v[1 2 3]}"},
    {"after a whole entry and a line feed", "body a ( normals[] < 1 2 3, 0 0 1\n",
     "1 {a n[1 2 3]}"},
    {"inside an entry", "body a ( vertices[] < v 1 2 3, 0 0 1 v 4 5", "1 {a v[1 2 3, 4 5 0]}"},
    {"inside an entry's float", "body a ( uv-array[] < uv (0.5 v1", "1 {a t[0.5 1]}"},
    {"inside a face group", "body a ( faces[] < tri ( 7, 8,", "1 {a f[7 8 0/0 0 0/0 0 0]}"},
    {"inside the face-part header", "body a ( face-parts[] < 2 \"a\" -", "1 {a p(\"a\" )[]}"},
    {"inside the index list", "body a ( face-parts[] < 2 a - b 2 : 0, 1", "1 {a p(a b)[0, 1]}"},
    {"after an index's tail", "body a ( face-parts[] < 2 a - b 2 : 0, 1, ", "1 {a p(a b)[0, 1]}"},
    {"before >)'s following token", "body a ( face-parts[] < 1 a - b 1 : 3, >)", "1 {a p(a b)[3]}"},
};
TEST(ParseObjects, DataEnds) {
  ExpectCases(std::begin(kDataEnds), std::end(kDataEnds));
}

constexpr std::string_view kFace = "tri ( 1, 2, 3) n s g 0 ( 4, 5, 6) uv ( 7, 8, 9) ";
constexpr std::string_view kAfterList = " vertices[] < v 1 2 3, 0 0 1 >";

// k whole groups, then `tail`: the group that holds ">", or that nothing was read of, is no
// face. A section after the list shows that the walk went on in step.
constexpr struct {
  const char* name;
  int wholeFaces;
  std::string_view tail;
  bool lastByte;  // the text ends on the last group's last byte, with no whitespace after it
} kFaceGroups[] = {
    {"one whole group, closed", 1, ">", false},
    {"three whole groups, closed", 3, ">", false},
    {"group cut short by >", 2, "tri ( 1, >", false},
    {"> as a group's 18th token", 1, "tri ( 1, 2, 3) n s g 0 ( 4, 5, 6) uv ( 7, 8, >", false},
    {"two whole groups, then the end", 2, "", false},
    {"two whole groups ending at the last byte", 2, "", true},
};
TEST(ParseObjects, WholeFaceGroups) {
  for (const auto& c : kFaceGroups) {
    SCOPED_TRACE(c.name);
    std::string text = "body b ( faces[] < ";
    std::string faces;
    for (int i = 0; i < c.wholeFaces; ++i) {
      text += kFace;
      faces += i > 0 ? ", 1 2 3/4 5 6/7 8 9" : "1 2 3/4 5 6/7 8 9";
    }
    if (c.lastByte) text.pop_back();
    const bool closed = !c.tail.empty();
    if (closed) text += std::string(c.tail) + std::string(kAfterList);
    EXPECT_EQ(Dump(Parse(text)),
              std::string("1 {b") + (closed ? " v[1 2 3]" : "") + " f[" + faces + "]}");
  }
}

// Past any fixed table of rows: every body is counted and filled, also with tokens between them.
TEST(ParseObjects, ManyBodies) {
  for (const int count : {100, 101, 150}) {
    SCOPED_TRACE(count);
    std::string text = "gobject-file 1\n";
    for (int i = 0; i < count; ++i) {
      text += "body b" + std::to_string(i) + " ( vertices[] < v " + std::to_string(i) +
              " 0 0, 0 0 1 > )" + (i % 7 == 0 ? " between\n" : "\n");
    }
    const CountedArray<Body> bodies = Parse(text + "gobject end\n");
    ASSERT_EQ(bodies.count, count);
    for (int i = 0; i < count; ++i) {
      const Body& body = bodies.items[i];
      EXPECT_EQ(body.name, "b" + std::to_string(i));
      ASSERT_EQ(body.vertices.count, 1);
      EXPECT_EQ(body.vertices.items[0].x, static_cast<float>(i));
    }
  }
}

// Touches every element, so AddressSanitizer reports a count larger than its array.
void ExpectCountsMatchArrays(const CountedArray<Body>& bodies) {
  ASSERT_NE(bodies.items, nullptr);
  std::string all;
  for (const Body& body : bodies) all += Dump(body);
}

// All but the last of `got`'s entries (which the cut may have split) are the whole file's.
// `extra` entries may follow: a ">)" cut after its ">" is one more index token.
template <typename T>
void ExpectPrefix(const CountedArray<T>& got, const CountedArray<T>& want, int32_t extra = 0) {
  ASSERT_LE(got.count, want.count + extra);
  const int32_t same = std::min(got.count - 1, want.count);
  if (same <= 0) return;
  // The element types are floats or integers without padding: equal bytes are equal bits.
  EXPECT_EQ(std::memcmp(got.items.get(), want.items.get(), same * sizeof(T)), 0);
}

// The sample cut after every byte: the bodies and entries read are a prefix of the whole file's.
TEST(ParseObjects, SampleCutAtEveryLength) {
  const FileBuffer whole((std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/dork.gof").c_str());
  ASSERT_NE(whole.data, nullptr);
  CountedArray<Body> full;
  ASSERT_EQ(ParseObjects(whole, full), 0);
  const std::string_view bytes(whole.data.get(), static_cast<size_t>(whole.size));
  for (size_t length = 0; length <= bytes.size(); ++length) {
    SCOPED_TRACE(length);
    const CountedArray<Body> cut = Parse(bytes.substr(0, length));
    ExpectCountsMatchArrays(cut);
    ASSERT_LE(cut.count, full.count);
    for (int32_t b = 0; b < cut.count; ++b) {
      const Body& got = cut.items[b];
      const Body& want = full.items[b];
      ExpectPrefix(got.vertices, want.vertices);
      ExpectPrefix(got.normals, want.normals);
      ExpectPrefix(got.uvs, want.uvs);
      ExpectPrefix(got.faceParts.indices, want.faceParts.indices, 1);
      ExpectPrefix(got.faces, want.faces);
    }
  }
}

// Token soup from the format's own words: whatever order they come in, no read leaves the
// bytes and no count exceeds its array.
TEST(ParseObjects, ShuffledKeywordsStayInBounds) {
  constexpr std::string_view kWords[] = {
      "body",    "b",       ")",          "(",         "<",          ">",          ">)",
      "v",       "1",       "2,",         "3)",        "x",          "(0",         "v1)",
      "gobject", "faces[]", "vertices[]", "normals[]", "uv-array[]", "segments[]", "face-parts[]"};
  std::mt19937 random(20240611u);
  std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> length(0, 80);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) {
      text += kWords[word(random)];
      text += ' ';
    }
    if (round % 2 == 1 && !text.empty()) text.pop_back();  // sometimes end on a token's last byte
    SCOPED_TRACE(text);
    ExpectCountsMatchArrays(Parse(text));
  }
}

}  // namespace
}  // namespace sceneio
