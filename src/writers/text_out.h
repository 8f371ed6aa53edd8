// The text of one scene file as the writers make it: gathered in a buffer and handed on in large
// chunks, so a file of any size is written with a bounded amount of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sceneio {

// The shortest decimal that TokenReader::Float() turns back into exactly `value`, written at
// `out` (room for kFloatTextMax bytes); returns its length. The reader converts to double first
// and then to float, so the shortest form that a correctly rounding reader would take back is
// checked by reading it, and written with more digits where the two roundings part. -0 keeps
// its sign; an infinity is written as a decimal beyond the float range ("1e39"), which the
// reader takes as infinity. NaN has no such decimal: the writers refuse it before this.
inline constexpr size_t kFloatTextMax = 48;
size_t FloatText(float value, char* out);

// Whether TokenReader::Float() reads all of `text` and stores exactly the bits of `value`.
bool ReadsBackAs(std::string_view text, float value);

class TextOut {
 public:
  // Takes each chunk; false when it could not be written, which ends the output.
  using Sink = bool (*)(void* context, const char* data, size_t size);

  // Without a sink everything stays in text(), for a writer to memory.
  TextOut() = default;
  TextOut(Sink sink, void* context);

  TextOut& operator<<(std::string_view raw) {
    text_.append(raw);
    return *this;
  }
  TextOut& operator<<(char raw) {
    text_.push_back(raw);
    return *this;
  }
  void Float(float value);
  void Int(int64_t value);

  // Called between entries: hands on what has gathered once it is a whole chunk.
  void Spill() {
    if (sink_ != nullptr && text_.size() >= kChunk) Flush();
  }
  // Hands on the rest; false when any chunk could not be written.
  bool Finish() {
    Flush();
    return ok_;
  }
  bool ok() const { return ok_; }
  std::string& text() { return text_; }

 private:
  static constexpr size_t kChunk = size_t{1} << 20;
  void Flush();

  Sink sink_ = nullptr;
  void* context_ = nullptr;
  std::string text_;
  bool ok_ = true;
};

}  // namespace sceneio
