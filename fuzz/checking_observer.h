// An observer that checks what the parsers tell it: every token is a view into the file's own
// bytes, every offset lies within them. Parsing with it must load exactly what parsing without
// it loads, which the targets check by comparing the two.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz_check.h"
#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"

namespace sceneio::fuzz {

class CheckingObserver : public ParseObserver {
 public:
  CheckingObserver() = default;
  explicit CheckingObserver(const FileBuffer& file)
      : begin_(file.data.get()), end_(file.data.get() + file.size) {}

  // Load hands over each data file in turn.
  void BeginFile(const FileBuffer& file, std::string_view extension) override {
    FUZZ_CHECK(extension == ".lgt" || extension == ".cam" || extension == ".gmf" ||
               extension == ".gof");
    FUZZ_CHECK(file.data != nullptr);
    begin_ = file.data.get();
    end_ = begin_ + file.size;
  }
  void PassedOver(std::string_view token, std::span<const std::string_view>) override {
    CheckToken(token);
  }
  void Met(std::string_view token) override { CheckToken(token); }
  // A reader of the report looks at the byte where the failed read began, so it must be one.
  void ValueFailed(std::string_view, std::string_view, int32_t at) override { CheckOffset(at); }
  // `opening` may be a keyword of the format rather than a token of the file, and -1 stands
  // for an offset the parser no longer knows (its reader has stopped).
  void Unfinished(std::string_view, std::string_view, std::string_view, int32_t from) override {
    CheckOffsetOrUnknown(from);
  }
  void Stopped(int32_t at, std::string_view) override { CheckOffsetOrUnknown(at); }
  void EntryRead(std::string_view, int32_t index, int tokens, int32_t begin, int32_t end) override {
    FUZZ_CHECK(index >= 0 && tokens > 0);
    CheckOffsetOrUnknown(begin);
    CheckOffsetOrUnknown(end);
    FUZZ_CHECK(begin < 0 || end < 0 || begin <= end);
  }
  void BetweenBodies(std::string_view token) override { CheckToken(token); }

 private:
  void CheckToken(std::string_view token) const {
    if (token.empty()) return;
    FUZZ_CHECK(token.data() >= begin_ && token.data() + token.size() <= end_);
    for (char c : token) FUZZ_CHECK(!IsSpace(c));
  }
  void CheckOffset(int32_t offset) const { FUZZ_CHECK(offset >= 0 && offset <= end_ - begin_); }
  void CheckOffsetOrUnknown(int32_t offset) const {
    FUZZ_CHECK(offset >= -1 && offset <= end_ - begin_);
  }

  const char* begin_ = nullptr;
  const char* end_ = nullptr;
};

}  // namespace sceneio::fuzz
