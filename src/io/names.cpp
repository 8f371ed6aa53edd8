// Name showing and UTF-8, the one place either rule is written.
#include "io/names.h"

namespace sceneio {

std::string_view WithoutQuotes(std::string_view name) {
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    return name.substr(1, name.size() - 2);
  }
  return name;
}

void AppendShownBytes(std::string& out, std::string_view bytes) {
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte >= 0x20 && byte <= 0x7E) {
      out.push_back(ch);
    } else {
      out.append({'\\', 'x', kLowerHexDigits[byte >> 4], kLowerHexDigits[byte & 0xF]});
    }
  }
}

std::string ShownBytes(std::string_view bytes) {
  std::string shown;
  AppendShownBytes(shown, bytes);
  return shown;
}

std::string ShownName(std::string_view token) {
  return ShownBytes(WithoutQuotes(token));
}

size_t Utf8SequenceAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      text.push_back(ch);
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

}  // namespace sceneio
