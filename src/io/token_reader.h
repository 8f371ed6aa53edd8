// A read-only cursor over a file's bytes: whitespace-separated tokens, numbers and characters.
#pragma once

#include <cstdint>
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

  // Typed reads: true when a value was stored. A failed read leaves `target` unchanged.
  bool Float(float& target);
  bool Int(int32_t& target);
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

  const char* begin_;
  const char* pos_;
  const char* end_;
  bool ended_ = false;
  bool failed_ = false;
};

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

// The common token, whitespace and all within the next 16 bytes, takes one vector compare: the
// first clear bit of the whitespace mask starts it, the next set bit ends it. A token that ends
// before the last byte never sets end-of-data, so only the flags' test remains.
inline std::string_view TokenReader::Token() {
#if defined(__SSE2__)
  if (Good() && end_ - pos_ >= 16) {
    const uint32_t spaces = WhitespaceMask16(pos_);
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

// Turns a quoted name token into the name: drops the first byte, whatever it is, and cuts the
// rest at its first double quote. "\"lamp\"" -> lamp, "lamp" -> amp, "\"a\"b\"" -> a.
void UnquoteName(std::string& name);

}  // namespace sceneio
