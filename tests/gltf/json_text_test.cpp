// JSON text read back by an independent parser: every string and number comes back as it went
// in, and the commas and brackets of any nesting make one valid document.
#include "gltf/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

namespace sceneio {
namespace {

using nlohmann::json;

struct StringCase {
  const char* what;
  std::string text;
};

TEST(JsonText, StringsReadBackAsWritten) {
  const StringCase cases[] = {
      {"empty", ""},
      {"quote and backslash", "a\"b\\c\"\\"},
      {"every control byte", std::string("\0\x01\b\t\n\f\r\x1f", 8)},
      {"delete and slash stay as they are", "\x7f/"},
      {"UTF-8 of two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.what);
    JsonText text;
    text.Open('[').Value(c.text).Close(']');
    EXPECT_EQ(json::parse(text.text())[0].get<std::string>(), c.text) << text.text();
  }
}

TEST(JsonText, NumbersReadBackExactly) {
  const float floats[] = {
      0.1f,        -0.0f, 1e30f, 1.17549435e-38f, 1e-45f, std::numeric_limits<float>::max(),
      16777217.0f, 3.0f};
  for (const float f : floats) {
    JsonText text;
    text.Open('[').Value(f).Close(']');
    const double back = json::parse(text.text())[0].get<double>();
    EXPECT_EQ(back, static_cast<double>(f)) << text.text();
    EXPECT_EQ(std::signbit(back), std::signbit(f)) << text.text();
  }
  JsonText integers;
  integers.Open('[').Value(std::numeric_limits<uint64_t>::max());
  integers.Value(std::numeric_limits<int64_t>::min()).Value(0).Value(int8_t{-7}).Close(']');
  const json back = json::parse(integers.text());
  EXPECT_EQ(back[0].get<uint64_t>(), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(back[1].get<int64_t>(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(back[2].get<int>(), 0);
  EXPECT_EQ(back[3].get<int>(), -7);
}

TEST(JsonText, NonFiniteNumbersAreNull) {
  JsonText text;
  text.Open('[').Value(std::numeric_limits<double>::infinity()).Value(-HUGE_VALF);
  text.Value(std::nan("")).Close(']');
  EXPECT_EQ(json::parse(text.text()), json::parse("[null,null,null]"));
}

TEST(JsonText, NestingMakesOneDocument) {
  JsonText inner;
  inner.Open('[').Open('{').Close('}').Open('[').Close(']').Value(Vector3{1, 2, 3}).Close(']');
  JsonText doc;
  doc.Open('{').Field("a", Color3{0.5f, 1, 0}).Key("empty").Open('{').Close('}');
  doc.Key("nested").Open('{').Key("deeper").Open('[').Raw(inner).Raw(inner).Close(']').Close('}');
  doc.Field("last", std::array<float, 4>{1, 0, 0, 1}).Close('}');
  EXPECT_EQ(json::parse(doc.text()), json::parse(R"({"a":[0.5,1,0],"empty":{},
      "nested":{"deeper":[[{},[],[1,2,3]],[{},[],[1,2,3]]]},"last":[1,0,0,1]})"))
      << doc.text();
}

}  // namespace
}  // namespace sceneio
