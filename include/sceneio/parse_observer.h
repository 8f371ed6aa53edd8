// An optional listener for tools that explain a load: the parsers tell it where they pass over a
// token, where a read fails, where they stop. A parse given no observer makes none of these calls
// and loads exactly the same values as one that is observed.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "sceneio/file_buffer.h"

namespace sceneio {

// Token views point into the bytes of the file being parsed; offsets count bytes from its start.
// Every call does nothing unless overridden.
class ParseObserver {
 public:
  virtual ~ParseObserver() = default;

  // The load is about to parse `file`, the data file of the kind with this extension (".lgt").
  virtual void BeginFile(const FileBuffer& /*file*/, std::string_view /*extension*/) {}

  // `token` stands where one of `expected` (keywords, the end of a block, a token waited for)
  // may stand, and is none of them: it is passed over.
  virtual void PassedOver(std::string_view /*token*/,
                          std::span<const std::string_view> /*expected*/) {}
  // `token` stands where it may stand and is taken for what it is: a keyword, whose values
  // follow, or the end of a block, or a token waited for.
  virtual void Met(std::string_view /*token*/) {}

  // A value after `keyword` (in the object file: in an entry of that section) did not read:
  // `expected` says what the read takes ("a number"), `at` is the offset where the read began.
  // The reader has stopped, so nothing after it is read.
  virtual void ValueFailed(std::string_view /*keyword*/, std::string_view /*expected*/,
                           int32_t /*at*/) {}

  // The data ended, or the reader had stopped, before `wanted` came. `what` says where the parser
  // was ("inside this light entry", "before the light list"); that began at `opening` when it is
  // not empty, else at the first token at or after offset `from`.
  virtual void Unfinished(std::string_view /*wanted*/, std::string_view /*what*/,
                          std::string_view /*opening*/, int32_t /*from*/) {}

  // Nothing after offset `at` is read, though the format lets `closing` stand there (the light
  // list's ">"; empty when nothing may).
  virtual void Stopped(int32_t /*at*/, std::string_view /*closing*/) {}

  // Object file, filling pass. Entry `index` of a `section` list: its typed reads began at offset
  // `begin` and ended at `end`; the counting pass took `tokens` whitespace-separated tokens for
  // every entry of the list.
  virtual void EntryRead(std::string_view /*section*/, int32_t /*index*/, int /*tokens*/,
                         int32_t /*begin*/, int32_t /*end*/) {}
  // `keyword` opens a section of a kind this body already has; this one replaces it.
  virtual void SectionRepeated(std::string_view /*keyword*/) {}
  // `token` stands after a body's ")" where only "body" or "gobject" may follow.
  virtual void BetweenBodies(std::string_view /*token*/) {}
};

}  // namespace sceneio
