// The one way every parser waits for a token, so no loop outruns the bytes or spins on a
// reader that has stopped, and the one way a keyword table is applied to the tokens it meets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/token_reader.h"
#include "sceneio/parse_observer.h"
#include "sceneio/types.h"

namespace sceneio {

// Who hears about a wait or a block, and how it is described when the data ends inside it
// ("inside this light entry"). Without an observer nothing is told.
struct Watch {
  ParseObserver* observer = nullptr;
  std::string_view what;
};

// Reads until the current token is `wanted` (true) or a read delivers nothing (false), handing
// every token that a read delivered, `wanted` included, to `examine`. The current token is
// tested before the first read, so a loop that already stands on `wanted` reads nothing; a
// token that ends at the last byte is still delivered and examined.
template <typename Examine>
bool SkipTo(TokenReader& reader, std::string_view& current, std::string_view wanted,
            Examine&& examine, const Watch& watch = {}) {
  // Where the wait began, for the observer: the token it stands on, else the next one.
  const std::string_view opening = current;
  const int32_t from = watch.observer != nullptr ? reader.Position() : -1;
  while (current != wanted) {
    current = reader.Token();
    if (current.empty()) {
      if (watch.observer != nullptr) watch.observer->Unfinished(wanted, watch.what, opening, from);
      return false;
    }
    examine(current);
  }
  return true;
}

inline bool SkipTo(TokenReader& reader, std::string_view& current, std::string_view wanted,
                   const Watch& watch = {}) {
  if (watch.observer == nullptr) return SkipTo(reader, current, wanted, [](std::string_view) {});
  const std::string_view expected[] = {wanted};
  return SkipTo(
      reader, current, wanted,
      [&](std::string_view token) {
        if (token == wanted) {
          watch.observer->Met(token);
        } else {
          watch.observer->PassedOver(token, expected);
        }
      },
      watch);
}

// Who hears about the values after one keyword: the observer, if any, and the keyword token.
struct ValueSite {
  ParseObserver* observer = nullptr;
  std::string_view keyword;

  // A typed read that began at offset `at` delivered nothing. On a reader that had already
  // failed (`at` is then -1) that is no failure of its own.
  void Failed(int32_t at, std::string_view expected) const {
    if (observer != nullptr && at >= 0) observer->ValueFailed(keyword, expected, at);
  }
};

// The values that follow a keyword. A value that fails to read leaves its target as it was.
inline void ReadValue(TokenReader& reader, float& value, const ValueSite& site) {
  const int32_t at = reader.Position();
  if (!reader.Float(value)) site.Failed(at, "a number");
}
inline void ReadValue(TokenReader& reader, int32_t& value, const ValueSite& site) {
  const int32_t at = reader.Position();
  if (!reader.Int(value)) site.Failed(at, "an integer");
}
// A token read fails only where the data has ended; that is the block's to tell.
inline void ReadValue(TokenReader& reader, std::string& value, const ValueSite& /*site*/) {
  reader.Token(value);
}
inline void ReadValue(TokenReader& reader, Vector3& value, const ValueSite& site) {
  ReadValue(reader, value.x, site);
  ReadValue(reader, value.y, site);
  ReadValue(reader, value.z, site);
}
inline void ReadValue(TokenReader& reader, Color3& value, const ValueSite& site) {
  ReadValue(reader, value.r, site);
  ReadValue(reader, value.g, site);
  ReadValue(reader, value.b, site);
}

// One row of a keyword table: the keyword and what reads the values after it into a record.
template <typename Record>
struct Keyword {
  std::string_view keyword;
  void (*read)(TokenReader& reader, Record& record, const ValueSite& site);
};

template <auto field>
struct FieldReader;
template <typename Record, typename Value, Value Record::*field>
struct FieldReader<field> {
  static void Read(TokenReader& reader, Record& record, const ValueSite& site) {
    ReadValue(reader, record.*field, site);
  }
};

// The row reader for a plain field: {"yon", ReadInto<&Camera::yon>}.
template <auto field>
inline constexpr auto ReadInto = &FieldReader<field>::Read;

// Tells the observer about a token that a block examined: a keyword or the block's end is met,
// anything else is passed over where one of them may stand.
template <typename Record, size_t n>
void TellBlockToken(ParseObserver& observer, std::string_view token, bool known,
                    std::string_view end, const Keyword<Record> (&table)[n]) {
  if (known) {
    observer.Met(token);
    return;
  }
  std::array<std::string_view, n + 1> expected;
  for (size_t i = 0; i < n; ++i) expected[i] = table[i].keyword;
  expected[n] = end;
  observer.PassedOver(token, expected);
}

// Reads a block up to its `end` token: each token read is compared with the table's keywords in
// order, and the first that matches reads its values. A token read as a value is never compared,
// so it can neither match a keyword nor end the block. False when the reader stopped first.
template <typename Record, size_t n>
bool ReadBlock(TokenReader& reader, std::string_view& current, std::string_view end,
               const Keyword<Record> (&table)[n], Record& record, const Watch& watch = {}) {
  return SkipTo(
      reader, current, end,
      [&](std::string_view token) {
        const Keyword<Record>* match = nullptr;
        for (const Keyword<Record>& row : table) {
          if (token == row.keyword) {
            match = &row;
            break;
          }
        }
        if (watch.observer != nullptr) {
          TellBlockToken(*watch.observer, token, match != nullptr || token == end, end, table);
        }
        // The token itself, not the row's keyword: a view into the file, for telling where.
        if (match != nullptr) match->read(reader, record, {watch.observer, token});
      },
      watch);
}

}  // namespace sceneio
