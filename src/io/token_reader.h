// A read-only cursor over a file's bytes: whitespace-separated tokens, numbers and characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/file_buffer.h"

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
  std::string_view Token();
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

  const char* begin_;
  const char* pos_;
  const char* end_;
  bool ended_ = false;
  bool failed_ = false;
};

// Turns a quoted name token into the name: drops the first byte, whatever it is, and cuts the
// rest at its first double quote. "\"lamp\"" -> lamp, "lamp" -> amp, "\"a\"b\"" -> a.
void UnquoteName(std::string& name);

}  // namespace sceneio
