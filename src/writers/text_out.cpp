// Number text for the scene files, checked against the reader that will read it back.
#include "writers/text_out.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "io/token_reader.h"

namespace sceneio {

bool ReadsBackAs(std::string_view text, float value) {
  // Read as the text will stand in a file, followed by whitespace and with room for the reader
  // to take its fast path, which a number at the very end of the bytes never reaches. The
  // buffer stays all spaces between calls, so each call writes and clears only its own bytes.
  constexpr size_t kPadded = kFloatTextMax + 64;
  thread_local char padded[kPadded] = {};
  thread_local bool blank = false;
  if (!blank) {
    std::memset(padded, ' ', kPadded);
    blank = true;
  }
  if (text.size() > kFloatTextMax) return false;
  std::memcpy(padded, text.data(), text.size());
  TokenReader reader(padded, static_cast<int32_t>(kPadded));
  float read = 0;
  const bool stored = reader.Float(read);
  const int32_t end = reader.Position();
  std::memset(padded, ' ', text.size());
  // The whole text must be the number, up to the whitespace after it.
  if (!stored || end != static_cast<int32_t>(text.size())) return false;
  uint32_t want = 0;
  uint32_t got = 0;
  std::memcpy(&want, &value, sizeof want);
  std::memcpy(&got, &read, sizeof got);
  return want == got;
}

size_t FloatText(float value, char* out) {
  if (std::isinf(value)) {
    // Beyond the largest float by far, yet well inside double: the reader rounds it to infinity.
    const std::string_view text = value > 0 ? "1e39" : "-1e39";
    std::memcpy(out, text.data(), text.size());
    return text.size();
  }
  char* end = std::to_chars(out, out + kFloatTextMax, value).ptr;
  auto length = static_cast<size_t>(end - out);
  if (ReadsBackAs({out, length}, value)) return length;
  // The reader rounds the decimal to double and then to float; a decimal that lies within a
  // double's rounding of the midpoint between two floats can go the other way (of all floats
  // only 7.038531e-26 and its negative do). The shortest decimal that does come back is sought
  // digit by digit; at 17 the double is the float's own value, so the search ends there.
  for (int digits = 1; digits <= 17; ++digits) {
    end = std::to_chars(out, out + kFloatTextMax, static_cast<double>(value),
                        std::chars_format::general, digits)
              .ptr;
    length = static_cast<size_t>(end - out);
    if (ReadsBackAs({out, length}, value)) break;
  }
  return length;
}

TextOut::TextOut(Sink sink, void* context) : sink_(sink), context_(context) {
  text_.reserve(kChunk + kChunk / 4);
}

void TextOut::Float(float value) {
  char digits[kFloatTextMax];
  text_.append(digits, FloatText(value, digits));
}

void TextOut::Int(int64_t value) {
  char digits[24];
  text_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void TextOut::Flush() {
  if (sink_ == nullptr || text_.empty()) return;
  if (ok_ && !sink_(context_, text_.data(), text_.size())) ok_ = false;
  text_.clear();
}

}  // namespace sceneio
