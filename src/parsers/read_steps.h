// The one way every parser waits for a token, so no loop outruns the bytes or spins on a
// reader that has stopped, and the one way a keyword table is applied to the tokens it meets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/token_reader.h"
#include "scene/types.h"

namespace sceneio {

// Reads until the current token is `wanted` (true) or a read delivers nothing (false), handing
// every token that a read delivered, `wanted` included, to `examine`. The current token is
// tested before the first read, so a loop that already stands on `wanted` reads nothing; a
// token that ends at the last byte is still delivered and examined.
template <typename Examine>
bool SkipTo(TokenReader& reader, std::string_view& current, std::string_view wanted,
            Examine&& examine) {
  while (current != wanted) {
    current = reader.Token();
    if (current.empty()) return false;
    examine(current);
  }
  return true;
}

inline bool SkipTo(TokenReader& reader, std::string_view& current, std::string_view wanted) {
  return SkipTo(reader, current, wanted, [](std::string_view) {});
}

// The values that follow a keyword. A value that fails to read leaves its target as it was.
inline void ReadValue(TokenReader& reader, float& value) {
  reader.Float(value);
}
inline void ReadValue(TokenReader& reader, int32_t& value) {
  reader.Int(value);
}
inline void ReadValue(TokenReader& reader, std::string& value) {
  reader.Token(value);
}
inline void ReadValue(TokenReader& reader, Vector3& value) {
  reader.Float(value.x);
  reader.Float(value.y);
  reader.Float(value.z);
}
inline void ReadValue(TokenReader& reader, Color3& value) {
  reader.Float(value.r);
  reader.Float(value.g);
  reader.Float(value.b);
}

// One row of a keyword table: the keyword and what reads the values after it into a record.
template <typename Record>
struct Keyword {
  std::string_view keyword;
  void (*read)(TokenReader& reader, Record& record);
};

template <auto field>
struct FieldReader;
template <typename Record, typename Value, Value Record::*field>
struct FieldReader<field> {
  static void Read(TokenReader& reader, Record& record) { ReadValue(reader, record.*field); }
};

// The row reader for a plain field: {"yon", ReadInto<&Camera::yon>}.
template <auto field>
inline constexpr auto ReadInto = &FieldReader<field>::Read;

// Reads a block up to its `end` token: each token read is compared with the table's keywords in
// order, and the first that matches reads its values. A token read as a value is never compared,
// so it can neither match a keyword nor end the block. False when the reader stopped first.
template <typename Record, size_t n>
bool ReadBlock(TokenReader& reader, std::string_view& current, std::string_view end,
               const Keyword<Record> (&table)[n], Record& record) {
  return SkipTo(reader, current, end, [&](std::string_view token) {
    for (const Keyword<Record>& row : table) {
      if (token == row.keyword) {
        row.read(reader, record);
        return;
      }
    }
  });
}

}  // namespace sceneio
