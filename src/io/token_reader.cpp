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

using token_detail::DigitsValue;
using token_detail::kExactPowers;
using token_detail::kPowersOfTen;
using token_detail::LeadingDigits;
using token_detail::Load8;
#if defined(__SSE2__)
using token_detail::WhitespaceMask16;
#endif

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

// Set bits of a word; without a population-count instruction in the baseline x86-64, the
// compiler's builtin would be a library call.
inline int CountBits(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// Whitespace runs in these files are short (a space, or a line feed and some indentation):
// a byte test first, then 16 bytes at a time while there are 16 to look at.
const char* SkipSpace(const char* p, const char* end) {
  if (p != end && !IsSpace(*p)) return p;
#if defined(__SSE2__)
  while (end - p >= 16) {
    const uint32_t word = ~WhitespaceMask16(p) & 0xFFFFu;
    if (word != 0) return p + __builtin_ctz(word);
    p += 16;
  }
#endif
  while (p != end && IsSpace(*p)) ++p;
  return p;
}

const char* SkipToken(const char* p, const char* end) {
#if defined(__SSE2__)
  while (end - p >= 16) {
    const uint32_t spaces = WhitespaceMask16(p);
    if (spaces != 0) return p + __builtin_ctz(spaces);
    p += 16;
  }
#endif
  while (p != end && !IsSpace(*p)) ++p;
  return p;
}

// Appends the run of digits at `p` to `value` (value * 10^digits + run) and counts them. Past
// 19 digits in all the value is no longer kept exactly; `digits` still counts every one.
inline const char* TakeDigits(const char* p, const char* end, uint64_t& value, int64_t& digits) {
  while (end - p >= 8) {
    const int n = LeadingDigits(Load8(p));
    if (n == 0) return p;
    if (digits + n <= 19) value = value * kPowersOfTen[n] + DigitsValue(Load8(p), n);
    digits += n;
    p += n;
    if (n < 8) return p;
  }
  for (; p != end && IsDigit(*p); ++p) {
    if (++digits <= 19) value = value * 10 + static_cast<uint64_t>(*p - '0');
  }
  return p;
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

void TokenReader::LoadWindow() {
  base_ = pos_;
  uint64_t spaces = 0;
  uint64_t digits = 0;
#if defined(__SSE2__)
  // The bytes the reads will reach next, asked for well before they are needed.
  _mm_prefetch(base_ + 1024, _MM_HINT_T0);
  for (int k = 0; k < 4; ++k) {
    const char* p = base_ + 16 * k;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // A digit is byte - '0' < 10, unsigned, done as a signed compare after flipping the top bit.
    const __m128i shifted = _mm_xor_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')),
                                          _mm_set1_epi8(static_cast<char>(0x80)));
    const __m128i digit = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 10)));
    spaces |= uint64_t{WhitespaceMask16(p)} << (16 * k);
    digits |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(digit))} << (16 * k);
  }
#else
  for (int i = 0; i < 64; ++i) {
    spaces |= uint64_t{IsSpace(base_[i])} << i;
    digits |= uint64_t{IsDigit(base_[i])} << i;
  }
#endif
  spaces_ = spaces;
  digits_ = digits;
}

bool TokenReader::Begin() {
  if (!Good()) {
    failed_ = true;
    return false;
  }
  pos_ = SkipSpace(pos_, end_);
  return true;
}

std::string_view TokenReader::TokenSlow() {
  if (!Begin()) return {};
  const char* start = pos_;
  pos_ = SkipToken(pos_, end_);
  if (pos_ == end_) ended_ = true;    // a token at the last byte still counts
  if (start == pos_) failed_ = true;  // only whitespace was left
  return {start, static_cast<size_t>(pos_ - start)};
}

bool TokenReader::FloatSlow(float& target) {
  if (!Begin()) return false;
  // Greedy scan: sign, digits, '.', digits, and an exponent only after a digit. Whatever is
  // taken stays taken even when it is no number ("-", ".", "1e+"), as a stream would consume it.
  // The digits are gathered into an integer on the way, for the exact short path.
  const char* p = pos_;
  bool negative = false;
  if (p != end_ && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* first = negative ? p - 1 : p;  // the text as the general conversion takes it
  uint64_t mantissa = 0;
  int64_t digits = 0;
  p = TakeDigits(p, end_, mantissa, digits);
  int64_t scale = 0;
  if (p != end_ && *p == '.') {
    const int64_t before = digits;
    p = TakeDigits(p + 1, end_, mantissa, digits);
    scale = before - digits;
  }
  const bool hasMantissa = digits > 0;
  bool exponentComplete = true;
  int64_t exponent = 0;
  if (hasMantissa && p != end_ && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p != end_ && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
    const char* exponentDigits = p;
    for (; p != end_ && IsDigit(*p); ++p) {
      if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
    }
    exponentComplete = p != exponentDigits;
    if (negativeExponent) exponent = -exponent;
  }
  pos_ = p;
  if (p == end_) ended_ = true;
  if (!hasMantissa || !exponentComplete) {
    failed_ = true;
    return false;
  }

  // Short decimals convert exactly: a mantissa of at most 2^53 times or divided by an exact
  // power of ten is one correctly rounded operation. Everything else takes the general path.
  double value = 0;
  const int64_t power = scale + exponent;
  if (digits <= 19 && mantissa <= (uint64_t{1} << 53) && power >= -22 && power <= 22) {
    value = static_cast<double>(mantissa);
    value = power < 0 ? value / kExactPowers[-power] : value * kExactPowers[power];
    if (negative) value = -value;
  } else if (digits <= 19 && mantissa == 0) {
    value = negative ? -0.0 : 0.0;
  } else {
    auto [ptr, ec] = std::from_chars(first, p, value, std::chars_format::general);
    if (ec != std::errc() || ptr != p) {
      failed_ = true;
      return false;
    }
  }
  target = ToFloat(value);
  return true;
}

bool TokenReader::IntSlow(int32_t& target) {
  if (!Begin()) return false;
  const char* p = pos_;
  bool negative = false;
  if (p != end_ && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // Every digit is consumed even past the range, as a stream does; only the value is dropped.
  const char* first = p;
  uint64_t value = 0;
  int64_t digits = 0;
  p = TakeDigits(p, end_, value, digits);
  pos_ = p;
  if (p == end_) ended_ = true;
  constexpr uint64_t kLimit = uint64_t{1} << 31;
  // Past 19 digits only leading zeros can keep the number in range: go over them again.
  if (digits > 19) {
    value = 0;
    for (const char* d = first; d != p; ++d) {
      if (value <= kLimit) value = value * 10 + static_cast<uint64_t>(*d - '0');
    }
  }
  if (digits == 0 || value > (negative ? kLimit : kLimit - 1)) {
    failed_ = true;
    return false;
  }
  target =
      static_cast<int32_t>(negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
  return true;
}

bool TokenReader::SkipPast(std::string_view stop, int64_t& delivered) {
  TokenMarks none;
  return SkipPast(stop, delivered, none);
}

bool TokenReader::SkipPast(std::string_view stop, int64_t& delivered, TokenMarks& left) {
  delivered = 0;
  for (;;) {
#if defined(__SSE2__)
    if (!stop.empty() && Good()) {
      // Blocks of 64 bytes in a row from the position, up to the first that holds the first
      // byte of `stop`. They are taken at a fixed stride, so no block waits for what the one
      // before it found; only whether the byte before a block is whitespace carries over.
      const __m128i first = _mm_set1_epi8(stop[0]);
      const char* block = pos_;
      const char* resume = nullptr;  // the whitespace byte that ends the last token counted
      int64_t counted = 0;
      uint64_t tokenBefore = 0;  // the position's byte starts a token, so none runs into it
      while (end_ - block >= 64) {
        // Asked for well ahead: left to the hardware, a pass over a large file waits on
        // memory for most of its time on the machines measured.
        _mm_prefetch(block + 1024, _MM_HINT_T0);
        uint64_t spaces = 0;
        uint32_t marks = 0;
        for (int k = 0; k < 4; ++k) {
          const char* p = block + 16 * k;
          spaces |= uint64_t{WhitespaceMask16(p)} << (16 * k);
          const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          marks |= static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, first)));
        }
        if (marks != 0) break;
        // A whitespace byte after a non-whitespace one ends a token, and no token that ends
        // in a block without that byte can be `stop`.
        const uint64_t ends = spaces & ((~spaces << 1) | tokenBefore);
        if (ends != 0) {
          counted += CountBits(ends);
          resume = block + 63 - __builtin_clzll(ends);
          if (left.marks != nullptr) Mark(left, left.before + delivered + counted, resume);
        }
        tokenBefore = ~spaces >> 63;
        block += 64;
      }
      // Reading goes on after the last token counted, never inside a token, so no token is
      // split in two; what lies beyond it is read token by token.
      if (resume != nullptr) {
        delivered += counted;
        pos_ = resume;
      }
    }
#endif
    const std::string_view token = Token();
    if (token.empty()) return false;
    ++delivered;
    if (token == stop) return true;
  }
}

void TokenReader::Mark(TokenMarks& marks, int64_t tokens, const char* at) const {
  const auto offset = static_cast<int32_t>(at - begin_);
  if (marks.last >= 0 && offset - marks.last < marks.spacing) return;
  marks.marks->push_back({tokens, offset});
  marks.last = offset;
}

bool TokenReader::CharSlow(char& target) {
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
