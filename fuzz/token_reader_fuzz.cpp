// The TokenReader against a plain model of its rules, over bytes and a sequence of reads, seeks
// and position queries decoded from the input. The model is written for clarity, not speed: it
// converts numbers with strtod, where the reader has its own fast path.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "io/token_reader.h"

namespace {

using sceneio::TokenReader;
using sceneio::fuzz::IsSpace;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Round to nearest float; ties to even carry halfway past the largest float to infinity.
float RoundToFloat(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude <= std::numeric_limits<float>::max()) return static_cast<float>(value);
  const float rounded = magnitude >= 0x1.ffffffp127 ? std::numeric_limits<float>::infinity()
                                                    : std::numeric_limits<float>::max();
  return std::signbit(value) ? -rounded : rounded;
}

class Model {
 public:
  explicit Model(std::string_view bytes) : bytes_(bytes) {}

  bool Ended() const { return ended_; }
  bool Failed() const { return failed_; }
  int32_t Position() const { return failed_ ? -1 : static_cast<int32_t>(pos_); }

  std::string_view Token() {
    if (!Begin()) return {};
    const size_t start = pos_;
    while (pos_ < bytes_.size() && !IsSpace(bytes_[pos_])) ++pos_;
    if (pos_ == bytes_.size()) ended_ = true;
    if (pos_ == start) failed_ = true;
    return bytes_.substr(start, pos_ - start);
  }

  bool Float(float& target) {
    if (!Begin()) return false;
    const size_t start = pos_;
    Sign();
    size_t digits = Digits();
    if (At('.')) {
      ++pos_;
      digits += Digits();
    }
    bool complete = digits > 0;
    if (digits > 0 && (At('e') || At('E'))) {
      ++pos_;
      Sign();
      complete = Digits() > 0;
    }
    if (pos_ == bytes_.size()) ended_ = true;
    if (!complete) return Fail();
    const std::string text(bytes_.substr(start, pos_ - start));
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    FUZZ_CHECK(end == text.c_str() + text.size());
    // Beyond double precision either way: overflow, or a non-zero number that rounds to 0.
    if (errno == ERANGE && (std::isinf(value) || value == 0)) return Fail();
    target = RoundToFloat(value);
    return true;
  }

  bool Int(int32_t& target) {
    if (!Begin()) return false;
    const size_t start = pos_;
    Sign();
    const size_t digits = Digits();
    if (pos_ == bytes_.size()) ended_ = true;
    if (digits == 0) return Fail();
    const std::string text(bytes_.substr(start, pos_ - start));
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
      return Fail();
    }
    target = static_cast<int32_t>(value);
    return true;
  }

  bool Char(char& target) {
    if (!Begin()) return false;
    if (pos_ == bytes_.size()) {
      ended_ = true;
      return Fail();
    }
    target = bytes_[pos_++];
    return true;
  }

  void Seek(size_t offset) {
    ended_ = false;
    if (!failed_) pos_ = offset;
  }

 private:
  bool Begin() {
    if (ended_ || failed_) return Fail();
    while (pos_ < bytes_.size() && IsSpace(bytes_[pos_])) ++pos_;
    return true;
  }
  bool Fail() {
    failed_ = true;
    return false;
  }
  bool At(char c) const { return pos_ < bytes_.size() && bytes_[pos_] == c; }
  void Sign() {
    if (At('+') || At('-')) ++pos_;
  }
  size_t Digits() {
    const size_t start = pos_;
    while (pos_ < bytes_.size() && IsDigit(bytes_[pos_])) ++pos_;
    return pos_ - start;
  }

  std::string_view bytes_;
  size_t pos_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

enum Op : uint8_t {
  kTokenView,
  kTokenString,
  kSkip,
  kFloat,
  kInt,
  kChar,
  kPosition,
  kSeek,
  kUnquote,
  kSkipPast,
  kOpCount
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  // The operations come from the end of the input, the bytes from its front, so a plain text
  // seed is read mostly as text.
  const size_t opCount = input.ConsumeIntegralInRange<size_t>(0, 96);
  std::vector<uint8_t> ops(opCount);
  for (uint8_t& op : ops) op = input.ConsumeIntegral<uint8_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();
  const sceneio::FileBuffer file =
      sceneio::fuzz::BufferOf(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const char* begin = file.data.get();
  const auto length = static_cast<int32_t>(text.size());

  TokenReader reader(file);
  Model model(text);
  std::vector<int32_t> positions{0};
  std::string token = "\x01untouched";
  bool wasFailed = false;
  for (uint8_t raw : ops) {
    switch (static_cast<Op>(raw % kOpCount)) {
      case kTokenView: {
        const std::string_view got = reader.Token();
        const std::string_view want = model.Token();
        FUZZ_CHECK(got == want);
        // A view into the bytes themselves, at the model's offset.
        if (!want.empty()) FUZZ_CHECK(got.data() == begin + (want.data() - text.data()));
        break;
      }
      case kTokenString: {
        reader.Token(token);
        FUZZ_CHECK(token == model.Token());  // emptied even when the reader was not good
        break;
      }
      case kSkip:
        FUZZ_CHECK(reader.Skip() == !model.Token().empty());
        break;
      case kFloat: {
        // Start from a NaN: no read stores one, so an untouched target is recognisable.
        float got = std::bit_cast<float>(0x7FC0BEEFu);
        float want = got;
        FUZZ_CHECK(reader.Float(got) == model.Float(want));
        FUZZ_CHECK(std::bit_cast<uint32_t>(got) == std::bit_cast<uint32_t>(want));
        break;
      }
      case kInt: {
        int32_t got = -0x5A5A5A5A;
        int32_t want = got;
        FUZZ_CHECK(reader.Int(got) == model.Int(want));
        FUZZ_CHECK(got == want);
        break;
      }
      case kChar: {
        char got = ' ';
        char want = got;
        FUZZ_CHECK(reader.Char(got) == model.Char(want));
        FUZZ_CHECK(got == want);
        break;
      }
      case kPosition:
        if (reader.Position() >= 0) positions.push_back(reader.Position());
        break;
      case kSeek: {
        // Mostly a position a query gave; otherwise any offset within the bytes.
        const size_t pick = raw / kOpCount;
        const int32_t offset = pick % 2 == 0 ? positions[(pick / 2) % positions.size()]
                                             : static_cast<int32_t>((pick / 2) % (text.size() + 1));
        reader.Seek(offset);
        model.Seek(static_cast<size_t>(offset));
        break;
      }
      case kUnquote: {
        std::string got = token;
        sceneio::UnquoteName(got);
        std::string want = token.empty() ? token : token.substr(1);
        want = want.substr(0, want.find('"'));
        FUZZ_CHECK(got == want);
        break;
      }
      case kSkipPast: {
        // Token reads up to ">" or ">)", with marks as close together as they come: the model
        // stands at each mark's offset after that mark's count of tokens.
        const std::string_view stop = raw / kOpCount % 2 == 0 ? ">" : ">)";
        std::vector<sceneio::TokenMark> marks;
        sceneio::TokenMarks left{&marks, 0, 1, -1};
        int64_t delivered = -1;
        const bool found = reader.SkipPast(stop, delivered, left);
        std::vector<int32_t> after{model.Position()};
        bool modelFound = false;
        for (;;) {
          const std::string_view want = model.Token();
          if (want.empty()) break;
          after.push_back(model.Position());
          if (want == stop) {
            modelFound = true;
            break;
          }
        }
        FUZZ_CHECK(found == modelFound);
        FUZZ_CHECK(delivered == static_cast<int64_t>(after.size()) - 1);
        for (const sceneio::TokenMark& mark : marks) {
          FUZZ_CHECK(mark.tokens >= 1 && mark.tokens < static_cast<int64_t>(after.size()));
          FUZZ_CHECK(after[static_cast<size_t>(mark.tokens)] == mark.offset);
        }
        break;
      }
      case kOpCount:
        break;
    }
    FUZZ_CHECK(reader.Failed() == model.Failed());
    FUZZ_CHECK(reader.Ended() == model.Ended());
    FUZZ_CHECK(reader.Good() == (!model.Failed() && !model.Ended()));
    FUZZ_CHECK(reader.Position() == model.Position());
    FUZZ_CHECK(reader.Position() >= -1 && reader.Position() <= length);
    FUZZ_CHECK(!wasFailed || reader.Failed());  // nothing clears the failed flag
    wasFailed = reader.Failed();
  }
  return 0;
}
