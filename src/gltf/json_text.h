// JSON written as text in the order it is meant to be read, straight into one string.
//
// Unlike a document tree, it holds nothing but the text: giving it up (as when memory runs out
// halfway through a document) frees one block and allocates nothing. Commas go in by
// themselves: no container is open without an element or a key having just been written, so
// one flag, "an element came last", decides every comma.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "sceneio/types.h"

namespace sceneio {

class JsonText {
 public:
  // '{' or '[', and its match.
  JsonText& Open(char bracket) {
    Separate();
    text_.push_back(bracket);
    afterElement_ = false;
    return *this;
  }
  JsonText& Close(char bracket) {
    text_.push_back(bracket);
    afterElement_ = true;
    return *this;
  }

  JsonText& Key(std::string_view key) {
    Value(key);
    text_.push_back(':');
    afterElement_ = false;
    return *this;
  }

  template <typename T>
  JsonText& Field(std::string_view key, const T& value) {
    Key(key);
    return Value(value);
  }

  // Strings are taken as UTF-8 and written as they are, but for what JSON must escape.
  JsonText& Value(std::string_view text);
  // (Without it a pointer would pick the deleted bool overload.)
  JsonText& Value(const char* text) { return Value(std::string_view(text)); }
  JsonText& Value(bool) = delete;
  JsonText& Value(std::unsigned_integral auto number) {
    return Number(static_cast<uint64_t>(number));
  }
  JsonText& Value(std::signed_integral auto number) { return Number(static_cast<int64_t>(number)); }
  // A float is written as the shortest text that reads back as the same double, so a reader
  // in double precision gets exactly the float's value. JSON has no infinity or NaN: null.
  JsonText& Value(double number);
  JsonText& Value(const Vector3& v) {
    return Open('[').Value(v.x).Value(v.y).Value(v.z).Close(']');
  }
  JsonText& Value(const Color3& c) { return Open('[').Value(c.r).Value(c.g).Value(c.b).Close(']'); }
  JsonText& Value(const std::array<float, 4>& v) {
    return Open('[').Value(v[0]).Value(v[1]).Value(v[2]).Value(v[3]).Close(']');
  }

  // A whole value already written as JSON text elsewhere, such as an array built on its own.
  JsonText& Raw(const JsonText& value) {
    Separate();
    text_ += value.text_;
    afterElement_ = true;
    return *this;
  }

  const std::string& text() const { return text_; }
  std::string Release() && { return std::move(text_); }

 private:
  void Separate() {
    if (afterElement_) text_.push_back(',');
  }
  JsonText& Number(uint64_t number);
  JsonText& Number(int64_t number);

  std::string text_;
  bool afterElement_ = false;
};

}  // namespace sceneio
