// The one way every parser waits for a token, so no loop outruns the bytes or spins on a
// reader that has stopped.
#pragma once

#include <string_view>

#include "io/token_reader.h"

namespace sceneio {

// Reads until the current token is `wanted` (true) or a read delivers nothing (false). The
// current token is examined before the first read, so a loop that already stands on `wanted`
// reads nothing; a token that ends at the last byte is still examined.
inline bool SkipTo(TokenReader& reader, std::string_view& current, std::string_view wanted) {
  while (current != wanted) {
    current = reader.Token();
    if (current.empty()) return false;
  }
  return true;
}

}  // namespace sceneio
