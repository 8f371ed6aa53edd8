// A read-only cursor over a file's bytes: whitespace-separated tokens, numbers and characters.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "io/file_buffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sceneio {

// Reads behave like formatted extraction from an in-memory stream under the "C" locale, with
// fixed rules where standard libraries differ. Flags only accumulate (a seek clears `ended`):
// once a read fails, every token read yields "" and every value read leaves its target alone.
class TokenReader {
 public:
  TokenReader(const char* data, int32_t size)
      : begin_(data), pos_(data), end_(data + (size > 0 ? size : 0)) {}
  explicit TokenReader(const FileBuffer& file) : TokenReader(file.data.get(), file.size) {}

  // No flag set.
  bool Good() const { return !ended_ && !failed_; }
  // A read delivered nothing, or was attempted on a reader that was not good.
  bool Failed() const { return failed_; }
  // A read met the end of the bytes.
  bool Ended() const { return ended_; }

  // The next token as a view into the bytes; empty exactly when the read failed.
  inline std::string_view Token();
  // The same, copied into `target` (emptied first, its capacity reused).
  void Token(std::string& target) { target.assign(Token()); }
  // Passes over the next token without looking at it; false when the read failed.
  bool Skip() { return !Token().empty(); }
  // Exactly `n` token reads in a row (fewer once one delivers nothing); returns the last token
  // read, or "" when a read failed. Short tokens are taken several per vector compare.
  inline std::string_view SkipTokens(int n);
  // Token reads until one delivers `stop` (true) or nothing (false), counting into `delivered`
  // every token delivered, `stop` included. Where no byte of 64 is the first byte of `stop`, the
  // tokens that complete there are counted at once, without a read each.
  bool SkipPast(std::string_view stop, int64_t& delivered);

  // Typed reads: true when a value was stored. A failed read leaves `target` unchanged.
  inline bool Float(float& target);
  inline bool Int(int32_t& target);
  // Int() and then one token read, whose result is dropped: an integer with its tail attached,
  // "12," or "7)", in one step when both lie in the next 16 bytes. Returns what Int() returned.
  inline bool IntThenSkip(int32_t& target);
  bool Char(char& target);

  // Offset of the next unread byte, or -1 once the reader has failed.
  int32_t Position() const { return failed_ ? -1 : static_cast<int32_t>(pos_ - begin_); }
  // Clears `ended`, then, unless the reader has failed, resumes reading at `offset`.
  void Seek(int32_t offset);

 private:
  // Every read starts here: a reader that is not good fails the read; otherwise whitespace is
  // skipped. Returns false when the read must do nothing more.
  bool Begin();
  // Token() for whatever its inline fast path does not take: a reader that is not good, the
  // last bytes, long tokens and long runs of whitespace.
  std::string_view TokenSlow();
  // The same for Float() and Int(): signs, exponents, long numbers and the last bytes.
  bool FloatSlow(float& target);
  bool IntSlow(int32_t& target);
  // The first non-whitespace byte when it lies within the next 16 bytes and at least `room`
  // bytes are left from there on; null otherwise (the slow paths then decide).
  inline const char* NextInWindow(int room) const;

  const char* begin_;
  const char* pos_;
  const char* end_;
  bool ended_ = false;
  bool failed_ = false;
};

namespace token_detail {

#if defined(__SSE2__)
// Bit i set when byte i of the 16 at `p` is whitespace: 0x20, or 0x09 to 0x0D (taken as
// byte - 9 < 5 unsigned, done as a signed compare after flipping the top bit).
inline uint32_t WhitespaceMask16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
  const __m128i shifted =
      _mm_xor_si128(_mm_sub_epi8(bytes, _mm_set1_epi8(9)), _mm_set1_epi8(static_cast<char>(0x80)));
  const __m128i control = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 5)));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(space, control)));
}
#endif

// Eight bytes as one little-endian word: the first byte is the low byte.
inline uint64_t Load8(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// How many of the eight bytes, from the first, are decimal digits. A byte is a digit when its
// high nibble is 3 and adding 6 leaves it 3; the carry out of a byte of 0xFA or more only
// disturbs bytes after that non-digit, which are not counted anyway.
inline int LeadingDigits(uint64_t word) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  const uint64_t nibbles = (word & kHigh) | (((word + 0x0606060606060606u) & kHigh) >> 4);
  const uint64_t differ = nibbles ^ 0x3333333333333333u;
  return differ == 0 ? 8 : __builtin_ctzll(differ) >> 3;
}

// The value of the first `n` (1 to 8) digit bytes of `word`: shifted up so the unused bytes
// become leading zeros, then combined pairwise, by fours and by eights.
inline uint64_t DigitsValue(uint64_t word, int n) {
  uint64_t digits = (word - 0x3030303030303030u) << (8 * (8 - n));
  digits = (digits * 10) + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFu) * 0x000F424000000064u) +
            (((digits >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
           32;
  return digits;
}

inline constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr uint64_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

}  // namespace token_detail

inline const char* TokenReader::NextInWindow([[maybe_unused]] int room) const {
#if defined(__SSE2__)
  if (end_ - pos_ >= 16 + room) {
    const uint32_t word = ~token_detail::WhitespaceMask16(pos_) & 0xFFFFu;
    if (word != 0) return pos_ + __builtin_ctz(word);
  }
#endif
  return nullptr;
}

// The common token, whitespace and all within the next 16 bytes, takes one vector compare: the
// first clear bit of the whitespace mask starts it, the next set bit ends it. A token that ends
// before the last byte never sets end-of-data, so only the flags' test remains.
inline std::string_view TokenReader::Token() {
#if defined(__SSE2__)
  if (Good() && end_ - pos_ >= 16) {
    const uint32_t spaces = token_detail::WhitespaceMask16(pos_);
    const uint32_t word = ~spaces & 0xFFFFu;
    if (word != 0) {
      const int lead = __builtin_ctz(word);
      const uint32_t after = spaces >> lead;
      if (after != 0) {
        const char* start = pos_ + lead;
        const auto length = static_cast<size_t>(__builtin_ctz(after));
        pos_ = start + length;
        return {start, length};
      }
    }
  }
#endif
  return TokenSlow();
}

// Within one 16-byte window every whitespace byte that follows a non-whitespace byte ends a
// token, and each such token began in the window too (byte 0 starts one when it is not
// whitespace: the rest of a token that a typed read stopped in). The tokens that complete in the
// window are taken pairwise from the two masks; the rest goes through Token().
inline std::string_view TokenReader::SkipTokens(int n) {
  std::string_view token;
  while (n > 0) {
#if defined(__SSE2__)
    if (Good() && end_ - pos_ >= 16) {
      const uint32_t spaces = token_detail::WhitespaceMask16(pos_);
      uint32_t starts = ~spaces & ((spaces << 1) | 1u) & 0xFFFFu;
      uint32_t ends = spaces & (~spaces << 1);
      if (ends != 0) {
        int start = 0;
        int stop = 0;
        do {
          start = __builtin_ctz(starts);
          stop = __builtin_ctz(ends);
          starts &= starts - 1;
          ends &= ends - 1;
          --n;
        } while (n > 0 && ends != 0);
        token = {pos_ + start, static_cast<size_t>(stop - start)};
        pos_ += stop;
        continue;
      }
    }
#endif
    token = Token();
    if (token.empty()) break;
    --n;
  }
  return token;
}

// An unsigned integer of one to seven digits, the whole of every index in practice: in range
// by its length, and followed by a byte that ends it, so it sets no flag.
inline bool TokenReader::Int(int32_t& target) {
  if (Good()) {
    if (const char* p = NextInWindow(8)) {
      const uint64_t word = token_detail::Load8(p);
      const int n = token_detail::LeadingDigits(word);
      if (n > 0 && n < 8) {
        pos_ = p + n;
        target = static_cast<int32_t>(token_detail::DigitsValue(word, n));
        return true;
      }
    }
  }
  return IntSlow(target);
}

// The integer and its tail share one whitespace mask: the tail starts right after the digits
// (not whitespace, else the token read would go on to the next token) and ends at the next
// whitespace byte in the window.
inline bool TokenReader::IntThenSkip(int32_t& target) {
#if defined(__SSE2__)
  if (Good() && end_ - pos_ >= 24) {
    const uint32_t spaces = token_detail::WhitespaceMask16(pos_);
    const uint32_t word = ~spaces & 0xFFFFu;
    if (word != 0) {
      const int lead = __builtin_ctz(word);
      const char* p = pos_ + lead;
      const uint64_t bytes = token_detail::Load8(p);
      const int n = token_detail::LeadingDigits(bytes);
      if (n > 0 && n < 8) {
        const uint32_t tail = spaces >> (lead + n);
        if (tail != 0 && (tail & 1u) == 0) {
          target = static_cast<int32_t>(token_detail::DigitsValue(bytes, n));
          pos_ = p + n + __builtin_ctz(tail);
          return true;
        }
      }
    }
  }
#endif
  const bool stored = Int(target);
  Skip();
  return stored;
}

// A plain decimal: an optional minus, up to eight digits, and optionally a point and up to
// eight more, fifteen digits at most and no exponent. Its digits make an integer below 2^53,
// divided by at most 10^8: one correctly rounded division, as the general path would give, then
// rounded to float.
inline bool TokenReader::Float(float& target) {
  if (Good()) {
    if (const char* p = NextInWindow(24)) {
      const bool negative = *p == '-';
      p += negative;
      const uint64_t whole = token_detail::Load8(p);
      const int digits = token_detail::LeadingDigits(whole);
      uint64_t mantissa = digits > 0 ? token_detail::DigitsValue(whole, digits) : 0;
      p += digits;
      int fraction = 0;
      if (*p == '.') {
        const uint64_t part = token_detail::Load8(++p);
        fraction = token_detail::LeadingDigits(part);
        if (fraction > 0) {
          mantissa = mantissa * token_detail::kPowersOfTen[fraction] +
                     token_detail::DigitsValue(part, fraction);
        }
        p += fraction;
      }
      const unsigned next = static_cast<unsigned char>(*p);
      const bool ends = next - '0' > 9 && (next | 0x20) != 'e';
      if (ends && digits + fraction > 0 && digits + fraction <= 15) {
        const double value = static_cast<double>(mantissa) / token_detail::kExactPowers[fraction];
        pos_ = p;
        target = static_cast<float>(negative ? -value : value);
        return true;
      }
    }
  }
  return FloatSlow(target);
}

// Turns a quoted name token into the name: drops the first byte, whatever it is, and cuts the
// rest at its first double quote. "\"lamp\"" -> lamp, "lamp" -> amp, "\"a\"b\"" -> a.
void UnquoteName(std::string& name);

}  // namespace sceneio
