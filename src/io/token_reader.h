// A read-only cursor over a file's bytes: whitespace-separated tokens, numbers and characters.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/file_buffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sceneio {

// Where a run of token reads stood: after `tokens` reads from the run's start the next unread
// byte was at `offset`. A reader that is good there reads on exactly as the run did.
struct TokenMark {
  int64_t tokens;
  int32_t offset;
};

// Marks that SkipPast() leaves about every `spacing` bytes, so that a long run can later be read
// in pieces from where it stood. `before` is the number of tokens the run took before the call.
struct TokenMarks {
  std::vector<TokenMark>* marks = nullptr;
  int64_t before = 0;
  int32_t spacing = 1 << 20;
  int32_t last = -1;  // offset of the last mark left, or -1
};

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
  // The same, leaving marks of the tokens counted in bulk in `marks` (when it has a vector).
  bool SkipPast(std::string_view stop, int64_t& delivered, TokenMarks& marks);

  // Typed reads: true when a value was stored. A failed read leaves `target` unchanged.
  inline bool Float(float& target);
  inline bool Int(int32_t& target);
  // Int() and then one token read, whose result is dropped: an integer with its tail attached,
  // "12," or "7)", in one step when both lie in the next 16 bytes. Returns what Int() returned.
  inline bool IntThenSkip(int32_t& target);
  inline bool Char(char& target);

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
  bool CharSlow(char& target);
  // Makes the window cover the position with at least 24 bytes to look at beyond it; false near
  // the end of the bytes, where the slow paths take over.
  inline bool InWindow();
  // Offset of the first non-whitespace byte from the window's start, or 64 when the window
  // holds none beyond the position.
  inline unsigned FirstInWindow() const;
  void LoadWindow();
  // Leaves a mark of `tokens` reads ending at `at`, unless the last one is nearer than the
  // spacing.
  void Mark(TokenMarks& marks, int64_t tokens, const char* at) const;

  const char* begin_;
  const char* pos_;
  const char* end_;
  // A cache of 64 bytes from base_ (all inside the bytes): bit i of spaces_ tells whether
  // base_[i] is whitespace, of digits_ whether it is a decimal digit. The fast paths read
  // tokens and numbers from these masks, so each read costs a few bit operations instead of a
  // vector compare that waits for the one before it.
  const char* base_ = nullptr;
  uint64_t spaces_ = 0;
  uint64_t digits_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

// The fast paths are meant to melt into the parsers' loops, where the position can stay in a
// register from one read to the next; left to itself the compiler keeps the larger ones as calls.
// A coverage build keeps them as calls, so each branch is counted once, not once per caller.
#if defined(__GNUC__) && !defined(SCENEIO_COVERAGE)
#define SCENEIO_HOT_READ inline __attribute__((always_inline))
#else
#define SCENEIO_HOT_READ inline
#endif

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

// How many bytes from bit `at` on have their bit set in `mask` (64 when all of them do).
inline unsigned RunLength(uint64_t mask, unsigned at) {
  const uint64_t clear = ~(mask >> at);
  return clear == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(clear));
}

inline constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr uint64_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

}  // namespace token_detail

SCENEIO_HOT_READ bool TokenReader::InWindow() {
  // Unsigned, so a position before the window (after a seek back) also fails the test.
  if (reinterpret_cast<uintptr_t>(pos_) - reinterpret_cast<uintptr_t>(base_) <= 40) return true;
  if (end_ - pos_ < 64) return false;
  LoadWindow();
  return true;
}

SCENEIO_HOT_READ unsigned TokenReader::FirstInWindow() const {
  const auto offset = static_cast<unsigned>(pos_ - base_);
  const uint64_t nonSpace = ~spaces_ >> offset << offset;
  return nonSpace == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(nonSpace));
}

// The token is the run of non-whitespace from its first byte up to the next whitespace byte;
// one that runs past the window goes to the slow path. A token that ends inside the window ends
// before the last byte, so it sets no flag.
SCENEIO_HOT_READ std::string_view TokenReader::Token() {
  if (Good() && InWindow()) {
    const unsigned at = FirstInWindow();
    if (at < 64) {
      const uint64_t after = spaces_ >> at;
      if (after != 0) {
        const char* start = base_ + at;
        const auto length = static_cast<size_t>(__builtin_ctzll(after));
        pos_ = start + length;
        return {start, length};
      }
    }
  }
  return TokenSlow();
}

// Every whitespace byte after a non-whitespace one ends a token, and each such token began in
// the window at or after the position (the position's own byte starts one when it is not
// whitespace: the rest of a token that a typed read stopped in). The tokens that complete in the
// window are taken pairwise from the two masks; the rest goes through Token().
SCENEIO_HOT_READ std::string_view TokenReader::SkipTokens(int n) {
  std::string_view token;
  while (n > 0) {
    if (Good() && InWindow()) {
      const auto offset = static_cast<unsigned>(pos_ - base_);
      const uint64_t spaces = spaces_ >> offset;
      uint64_t starts = ~spaces & ((spaces << 1) | 1u);
      uint64_t ends = spaces & (~spaces << 1);
      if (ends != 0) {
        unsigned start = 0;
        unsigned stop = 0;
        do {
          start = static_cast<unsigned>(__builtin_ctzll(starts));
          stop = static_cast<unsigned>(__builtin_ctzll(ends));
          starts &= starts - 1;
          ends &= ends - 1;
          --n;
        } while (n > 0 && ends != 0);
        token = {pos_ + start, static_cast<size_t>(stop - start)};
        pos_ += stop;
        continue;
      }
    }
    token = Token();
    if (token.empty()) break;
    --n;
  }
  return token;
}

// An unsigned integer of one to seven digits, the whole of every index in practice: in range
// by its length, and followed inside the window by a byte that ends it, so it sets no flag.
SCENEIO_HOT_READ bool TokenReader::Int(int32_t& target) {
  if (Good() && InWindow()) {
    const unsigned at = FirstInWindow();
    if (at <= 56) {
      const auto n = token_detail::RunLength(digits_, at);
      if (n > 0 && n < 8) {
        pos_ = base_ + at + n;
        target =
            static_cast<int32_t>(token_detail::DigitsValue(token_detail::Load8(base_ + at), n));
        return true;
      }
    }
  }
  return IntSlow(target);
}

// The tail starts right after the digits (not whitespace, else the token read would go on to
// the next token) and ends at the next whitespace byte, the end of the whole run.
SCENEIO_HOT_READ bool TokenReader::IntThenSkip(int32_t& target) {
  if (Good() && InWindow()) {
    const unsigned at = FirstInWindow();
    if (at <= 56) {
      const auto n = token_detail::RunLength(digits_, at);
      const uint64_t after = spaces_ >> at;
      if (n > 0 && n < 8 && after != 0) {
        const auto run = static_cast<unsigned>(__builtin_ctzll(after));
        if (run > n) {
          pos_ = base_ + at + run;
          target =
              static_cast<int32_t>(token_detail::DigitsValue(token_detail::Load8(base_ + at), n));
          return true;
        }
      }
    }
  }
  const bool stored = Int(target);
  Skip();
  return stored;
}

// The next non-whitespace byte, when the window holds one.
SCENEIO_HOT_READ bool TokenReader::Char(char& target) {
  if (Good() && InWindow()) {
    const unsigned at = FirstInWindow();
    if (at < 64) {
      target = base_[at];
      pos_ = base_ + at + 1;
      return true;
    }
  }
  return CharSlow(target);
}

// A plain decimal: an optional minus, up to eight digits, and optionally a point and up to
// eight more, fifteen digits at most and no exponent. Its digits make an integer below 2^53,
// divided by at most 10^8: one correctly rounded division, as the general path would give, then
// rounded to float.
SCENEIO_HOT_READ bool TokenReader::Float(float& target) {
  if (Good() && InWindow()) {
    unsigned at = FirstInWindow();
    if (at <= 44) {
      const bool negative = base_[at] == '-';
      at += negative;
      const auto whole = token_detail::RunLength(digits_, at);
      unsigned next = at + whole;
      unsigned fraction = 0;
      if (whole <= 8 && base_[next] == '.') {
        fraction = token_detail::RunLength(digits_, next + 1);
        next += 1 + fraction;
      }
      if (whole <= 8 && fraction <= 8 && whole + fraction - 1 < 15 &&
          (static_cast<unsigned char>(base_[next]) | 0x20) != 'e') {
        uint64_t mantissa =
            whole > 0 ? token_detail::DigitsValue(token_detail::Load8(base_ + at), whole) : 0;
        if (fraction > 0) {
          mantissa =
              mantissa * token_detail::kPowersOfTen[fraction] +
              token_detail::DigitsValue(token_detail::Load8(base_ + at + whole + 1), fraction);
        }
        const double value = static_cast<double>(mantissa) / token_detail::kExactPowers[fraction];
        pos_ = base_ + next;
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
