// JSON text: numbers in their shortest form and strings escaped as JSON requires.
#include "gltf/json_text.h"

#include <charconv>
#include <cmath>

#include "io/names.h"

namespace sceneio {
namespace {

template <typename T>
void AppendNumber(std::string& text, T number) {
  char digits[32];
  // 32 bytes hold any shortest double and any 64-bit integer, so the conversion cannot fail.
  text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

}  // namespace

JsonText& JsonText::Value(std::string_view string) {
  Separate();
  text_.push_back('"');
  for (const char ch : string) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      text_.append({'\\', ch});
    } else if (byte < 0x20) {
      text_.append({'\\', 'u', '0', '0', kLowerHexDigits[byte >> 4], kLowerHexDigits[byte & 0xF]});
    } else {
      text_.push_back(ch);
    }
  }
  text_.push_back('"');
  afterElement_ = true;
  return *this;
}

JsonText& JsonText::Value(double number) {
  Separate();
  if (std::isfinite(number)) {
    const size_t start = text_.size();
    AppendNumber(text_, number);
    // "1" and "-0" would read as integers, and -0 as 0: a float always shows a point or an
    // exponent.
    if (text_.find_first_of(".e", start) == std::string::npos) text_ += ".0";
  } else {
    text_ += "null";
  }
  afterElement_ = true;
  return *this;
}

JsonText& JsonText::Number(uint64_t number) {
  Separate();
  AppendNumber(text_, number);
  afterElement_ = true;
  return *this;
}

JsonText& JsonText::Number(int64_t number) {
  Separate();
  AppendNumber(text_, number);
  afterElement_ = true;
  return *this;
}

}  // namespace sceneio
