// The outcome of every library operation beyond the loader's own: what happened, in one line,
// and what the caller should know either way.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sceneio {

enum class StatusCode : uint8_t {
  kOk,
  kBadOptions,    // the options contradict themselves or name what the scene lacks
  kLoadFailed,    // a file the operation needs could not be read
  kInvalidInput,  // an input file is malformed, or refused as unsafe
  kInvalidScene,  // the scene holds what cannot be written: nothing is written
  kWriteFailed,   // the output could not be written or put in place
  kOutOfMemory,
};

struct [[nodiscard]] Status {
  StatusCode code = StatusCode::kOk;
  std::string message;                // one line, no line feed; empty when ok
  std::vector<std::string> warnings;  // one line each: what was left out, and why
  std::vector<std::string> notes;     // one line each: what the reader should know

  bool ok() const { return code == StatusCode::kOk; }

  // Sets the code and message; warnings and notes gathered so far stay.
  Status& Fail(StatusCode failure, std::string why) {
    code = failure;
    message = std::move(why);
    return *this;
  }

  // This status, with the warnings and notes of `earlier` (the step before it) put first.
  Status After(const Status& earlier) && {
    warnings.insert(warnings.begin(), earlier.warnings.begin(), earlier.warnings.end());
    notes.insert(notes.begin(), earlier.notes.begin(), earlier.notes.end());
    return std::move(*this);
  }
};

}  // namespace sceneio
