// Runs the same reads on a TokenReader and on a std::istringstream over the same bytes and
// reports the first place where they disagree. Shared by a unit test and a fuzz target.
//
// The reader is the in-memory stream's formatted extraction under the classic locale, except
// where the stream's behaviour is not what the formats need. Those places, and only those, are
// allowed to differ; each is counted in Result::allowed:
//
//  kFailedValue       A numeric read that fails: the stream stores 0, or the limit of the type
//                     for a number too large; the reader leaves its target as it was.
//  kTokenOnFailure    A token read that fails: the stream leaves the string as it was (its
//                     sentry fails before the string is erased); the reader always empties its
//                     target first.
//  kPositionAtEnd     A position query with only end-of-data set: tellg() fails, returns -1 and
//                     sets failbit; the reader returns the offset (the byte count). The stream
//                     side is then read through its buffer, which leaves its state alone.
//  kBeyondFloat       A decimal beyond the float range that a double still holds (1e39): the
//                     stream fails and stores the largest float; the reader stores an infinity
//                     and sets no flag. The flags differ from there on, so comparing stops.
//  kBeyondDouble      A non-zero decimal too small for a double (1e-999): the stream stores 0
//                     and succeeds; the reader fails. Comparing stops here too.
//  kDoubleRounding    The stream rounds the decimal straight to float; the reader rounds it to
//                     double first, then to float. Where those two roundings give different
//                     floats (a decimal just past a float midpoint), each side must give its own.
//
// Two further points on which stream libraries differ do not arise against this one: a byte
// count of zero is empty data for both, and seekg() clears end-of-data here as Seek() does.
#pragma once

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>

#include "io/token_reader.h"

namespace sceneio::testing {

enum Allowance : unsigned {
  kFailedValue = 1u << 0,
  kTokenOnFailure = 1u << 1,
  kPositionAtEnd = 1u << 2,
  kBeyondFloat = 1u << 3,
  kBeyondDouble = 1u << 4,
  kDoubleRounding = 1u << 5,
};

struct DifferentialResult {
  std::string mismatch;  // empty when the two agreed on every step compared
  unsigned allowed = 0;  // the allowances that were needed
};

namespace differential_detail {

inline uint32_t Bits(float v) {
  return std::bit_cast<uint32_t>(v);
}

// The reader's rounding: to double, then to the nearest float (halfway past the largest float
// is infinite). Spelled out because casting an out-of-range double is undefined.
inline float ThroughDouble(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude <= std::numeric_limits<float>::max()) return static_cast<float>(value);
  const float rounded = magnitude >= 0x1.ffffffp127 ? std::numeric_limits<float>::infinity()
                                                    : std::numeric_limits<float>::max();
  return std::signbit(value) ? -rounded : rounded;
}

class Runner {
 public:
  explicit Runner(std::string_view bytes)
      : bytes_(bytes),
        reader_(bytes.data(), static_cast<int32_t>(bytes.size())),
        stream_(std::string(bytes)) {
    stream_.imbue(std::locale::classic());
  }

  // ops: T token, F float, I integer, C character, P position query, S seek to the position
  // that the last query returned (skipped when there is none).
  DifferentialResult Run(std::string_view ops) {
    for (size_t i = 0; i < ops.size() && result_.mismatch.empty() && !stopped_; ++i) {
      step_ = std::string("step ") + std::to_string(i) + " '" + ops[i] + "'";
      const std::streamoff before = StreamOffset();
      switch (ops[i]) {
        case 'T':
          TokenStep();
          break;
        case 'F':
          FloatStep(before);
          break;
        case 'I':
          IntStep();
          break;
        case 'C':
          CharStep();
          break;
        case 'P':
          PositionStep();
          break;
        case 'S':
          SeekStep();
          break;
        default:
          Mismatch("unknown operation");
      }
      if (result_.mismatch.empty() && !stopped_) CompareState();
    }
    return result_;
  }

 private:
  // The stream's offset read from its buffer, which changes none of its flags.
  std::streamoff StreamOffset() {
    return stream_.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  }

  void Mismatch(const std::string& what) {
    if (result_.mismatch.empty()) result_.mismatch = step_ + ": " + what;
  }
  void Allow(Allowance allowance) { result_.allowed |= allowance; }

  void CompareState() {
    if (stream_.bad()) Mismatch("stream set badbit");
    if (reader_.Ended() != stream_.eof()) Mismatch("end-of-data differs");
    if (reader_.Failed() != stream_.fail()) Mismatch("failed differs");
    // Consumption: a failed reader hides its offset, so it is compared while it is not failed.
    if (!reader_.Failed() && reader_.Position() != StreamOffset()) {
      Mismatch("offset " + std::to_string(reader_.Position()) + " vs stream " +
               std::to_string(StreamOffset()));
    }
  }

  void TokenStep() {
    std::string ours = "\x01untouched";
    std::string theirs = ours;
    reader_.Token(ours);
    stream_ >> theirs;
    if (!stream_.fail()) {
      if (ours != theirs) Mismatch("token '" + ours + "' vs '" + theirs + "'");
      return;
    }
    if (!ours.empty()) Mismatch("a failed token read delivered '" + ours + "'");
    if (!theirs.empty()) Allow(kTokenOnFailure);
  }

  void FloatStep(std::streamoff before) {
    const float untouched = std::bit_cast<float>(0x7FC0BEEFu);
    float ours = untouched;
    float theirs = untouched;
    const bool oursOk = reader_.Float(ours);
    stream_ >> theirs;
    const bool theirsOk = !stream_.fail();
    if (!oursOk && Bits(ours) != Bits(untouched)) Mismatch("failed float read stored a value");

    // The decimal both took (when the stream's offset is known), converted both ways.
    std::string text;
    const std::streamoff after = StreamOffset();
    if (before >= 0 && after >= before) {
      text.assign(bytes_.substr(static_cast<size_t>(before), static_cast<size_t>(after - before)));
      text.erase(0, text.find_first_not_of(" \t\n\v\f\r"));
    }
    if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos) {
      text.clear();
    }
    errno = 0;
    const double asDouble = text.empty() ? 0 : std::strtod(text.c_str(), nullptr);
    const bool doubleRange = errno == ERANGE;
    const float direct = text.empty() ? 0 : std::strtof(text.c_str(), nullptr);

    if (oursOk && theirsOk) {
      if (Bits(ours) == Bits(theirs)) return;
      if (!text.empty() && Bits(ThroughDouble(asDouble)) != Bits(direct) &&
          Bits(ours) == Bits(ThroughDouble(asDouble)) && Bits(theirs) == Bits(direct)) {
        Allow(kDoubleRounding);
        return;
      }
      Mismatch("float '" + text + "': " + std::to_string(Bits(ours)) + " vs " +
               std::to_string(Bits(theirs)));
      return;
    }
    if (!oursOk && !theirsOk) {
      if (Bits(theirs) != Bits(untouched)) Allow(kFailedValue);
      return;
    }
    if (oursOk && std::isinf(direct) && !std::isinf(asDouble)) {
      if (Bits(ours) != Bits(ThroughDouble(asDouble))) Mismatch("beyond float: wrong value");
      Allow(kBeyondFloat);
      stopped_ = true;
      return;
    }
    if (!oursOk && theirsOk && doubleRange && asDouble == 0) {
      Allow(kBeyondDouble);
      stopped_ = true;
      return;
    }
    Mismatch("float '" + text + "' read by " + (oursOk ? "the reader only" : "the stream only"));
  }

  void IntStep() {
    int32_t ours = -0x5A5A5A5A;
    int32_t theirs = ours;
    const bool oursOk = reader_.Int(ours);
    stream_ >> theirs;
    const bool theirsOk = !stream_.fail();
    if (oursOk != theirsOk) {
      Mismatch(std::string("integer read by ") + (oursOk ? "the reader only" : "the stream only"));
    } else if (oursOk && ours != theirs) {
      Mismatch("integer " + std::to_string(ours) + " vs " + std::to_string(theirs));
    } else if (!oursOk && ours != -0x5A5A5A5A) {
      Mismatch("failed integer read stored a value");
    } else if (!oursOk && theirs != -0x5A5A5A5A) {
      Allow(kFailedValue);
    }
  }

  void CharStep() {
    char ours = '\x01';
    char theirs = ours;
    const bool oursOk = reader_.Char(ours);
    stream_ >> theirs;
    const bool theirsOk = !stream_.fail();
    if (oursOk != theirsOk || ours != theirs) Mismatch("character differs");
  }

  void PositionStep() {
    const int32_t ours = reader_.Position();
    std::streamoff theirs;
    if (stream_.eof() && !stream_.fail()) {
      theirs = StreamOffset();  // tellg() would fail here
      Allow(kPositionAtEnd);
    } else {
      theirs = stream_.tellg();
    }
    if (ours != theirs) {
      Mismatch("position " + std::to_string(ours) + " vs " + std::to_string(theirs));
    }
    if (ours >= 0) last_ = ours;
  }

  void SeekStep() {
    if (last_ < 0) return;
    reader_.Seek(last_);
    stream_.seekg(last_);
  }

  std::string_view bytes_;
  TokenReader reader_;
  std::istringstream stream_;
  DifferentialResult result_;
  std::string step_;
  int32_t last_ = -1;
  bool stopped_ = false;
};

}  // namespace differential_detail

inline DifferentialResult CompareWithStream(std::string_view bytes, std::string_view ops) {
  return differential_detail::Runner(bytes).Run(ops);
}

}  // namespace sceneio::testing
