// Token, number and character reads over bytes in memory, exact to the rules of the formats.
#include "io/token_reader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace sceneio {
namespace {

// Exactly the six whitespace bytes of the "C" locale; 0x00 and 0x80..0xFF are ordinary.
constexpr std::array<bool, 256> kSpace = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20}) table[c] = true;
  return table;
}();

inline bool IsSpace(char c) {
  return kSpace[static_cast<unsigned char>(c)];
}
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

const char* SkipSpace(const char* p, const char* end) {
  while (p != end && IsSpace(*p)) ++p;
  return p;
}

const char* SkipDigits(const char* p, const char* end) {
  while (p != end && IsDigit(*p)) ++p;
  return p;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The scanned number's parts, all inside the taken run.
struct Number {
  bool negative = false;
  const char* intBegin = nullptr;
  const char* intEnd = nullptr;
  const char* fracBegin = nullptr;
  const char* fracEnd = nullptr;
  const char* expBegin = nullptr;  // sign or first digit of the exponent, when there is one
  const char* end = nullptr;
};

// Short decimals convert exactly: a mantissa of at most 2^53 times or divided by an exact power
// of ten is one correctly rounded IEEE operation. Returns false when the number is not short.
bool FastDouble(const Number& n, double& value) {
  uint64_t mantissa = 0;
  int digits = 0;
  for (const char* p = n.intBegin; p != n.intEnd; ++p) {
    if (digits == 0 && *p == '0') continue;  // leading zeros add no precision
    if (++digits > 15) return false;
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
  int scale = 0;
  for (const char* p = n.fracBegin; p != n.fracEnd; ++p) {
    if (digits == 0 && *p == '0') {
      --scale;
      continue;
    }
    if (++digits > 15) return false;
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    --scale;
  }
  if (n.expBegin != nullptr) {
    const char* p = n.expBegin;
    bool negativeExp = false;
    if (*p == '+' || *p == '-') negativeExp = *p++ == '-';
    int exponent = 0;
    for (; p != n.end; ++p) {
      if (exponent > 1000) return false;  // far outside the exact range either way
      exponent = exponent * 10 + (*p - '0');
    }
    scale += negativeExp ? -exponent : exponent;
  }
  double result = static_cast<double>(mantissa);
  if (mantissa != 0) {
    if (scale < -22 || scale > 22) return false;
    result = scale < 0 ? result / kExactPowers[-scale] : result * kExactPowers[scale];
  }
  value = n.negative ? -result : result;
  return true;
}

// Correctly rounded decimal to double; false when it overflows double precision or rounds to
// zero although a digit is not zero. A subnormal double is in range.
bool ToDouble(const Number& n, double& value) {
  if (FastDouble(n, value)) return true;
  const char* first = n.negative ? n.intBegin - 1 : n.intBegin;  // from_chars takes no '+'
  auto [ptr, ec] = std::from_chars(first, n.end, value, std::chars_format::general);
  return ec == std::errc() && ptr == n.end;
}

// Rounds to the nearest float; magnitudes from halfway past the largest float become infinite
// (spelled out, since a cast from an out-of-range double is undefined).
float ToFloat(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  constexpr double kHalfwayToInfinity = 0x1.ffffffp127;
  const double magnitude = std::fabs(value);
  if (magnitude > kLargest) {
    const float rounded =
        magnitude >= kHalfwayToInfinity ? std::numeric_limits<float>::infinity() : kLargest;
    return std::signbit(value) ? -rounded : rounded;
  }
  return static_cast<float>(value);
}

}  // namespace

bool TokenReader::Begin() {
  if (!Good()) {
    failed_ = true;
    return false;
  }
  pos_ = SkipSpace(pos_, end_);
  return true;
}

std::string_view TokenReader::Token() {
  if (!Begin()) return {};
  const char* start = pos_;
  while (pos_ != end_ && !IsSpace(*pos_)) ++pos_;
  if (pos_ == end_) ended_ = true;    // a token at the last byte still counts
  if (start == pos_) failed_ = true;  // only whitespace was left
  return {start, static_cast<size_t>(pos_ - start)};
}

bool TokenReader::Float(float& target) {
  if (!Begin()) return false;
  // Greedy scan: sign, digits, '.', digits, and an exponent only after a digit. Whatever is
  // taken stays taken even when it is no number ("-", ".", "1e+"), as a stream would consume it.
  Number n;
  const char* p = pos_;
  if (p != end_ && (*p == '+' || *p == '-')) n.negative = *p++ == '-';
  n.intBegin = p;
  p = n.intEnd = SkipDigits(p, end_);
  n.fracBegin = n.fracEnd = p;
  if (p != end_ && *p == '.') {
    n.fracBegin = ++p;
    p = n.fracEnd = SkipDigits(p, end_);
  }
  const bool mantissa = n.intEnd != n.intBegin || n.fracEnd != n.fracBegin;
  bool exponentComplete = true;
  if (mantissa && p != end_ && (*p == 'e' || *p == 'E')) {
    n.expBegin = ++p;
    if (p != end_ && (*p == '+' || *p == '-')) ++p;
    const char* digits = p;
    p = SkipDigits(p, end_);
    exponentComplete = p != digits;
  }
  n.end = pos_ = p;
  if (p == end_) ended_ = true;

  double value = 0;
  if (!mantissa || !exponentComplete || !ToDouble(n, value)) {
    failed_ = true;
    return false;
  }
  target = ToFloat(value);
  return true;
}

bool TokenReader::Int(int32_t& target) {
  if (!Begin()) return false;
  const char* p = pos_;
  bool negative = false;
  if (p != end_ && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* digits = p;
  // Every digit is consumed even past the range, as a stream does; only the value is dropped.
  constexpr uint64_t kLimit = uint64_t{1} << 31;
  uint64_t value = 0;
  for (; p != end_ && IsDigit(*p); ++p) {
    if (value <= kLimit) value = value * 10 + static_cast<uint64_t>(*p - '0');
  }
  pos_ = p;
  if (p == end_) ended_ = true;
  if (p == digits || value > (negative ? kLimit : kLimit - 1)) {
    failed_ = true;
    return false;
  }
  target =
      static_cast<int32_t>(negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
  return true;
}

bool TokenReader::Char(char& target) {
  if (!Begin()) return false;
  if (pos_ == end_) {
    ended_ = failed_ = true;
    return false;
  }
  target = *pos_++;
  return true;
}

void TokenReader::Seek(int32_t offset) {
  ended_ = false;
  if (failed_) return;
  const auto limit = static_cast<int32_t>(end_ - begin_);
  pos_ = begin_ + (offset < 0 ? 0 : offset > limit ? limit : offset);
}

void UnquoteName(std::string& name) {
  if (name.empty()) return;
  name.erase(0, 1);
  const size_t quote = name.find('"');
  if (quote != std::string::npos) name.resize(quote);
}

}  // namespace sceneio
