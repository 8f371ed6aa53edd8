// What every fuzz target checks beyond "no crash": a broken invariant aborts, so the fuzzer keeps
// the input. Under AddressSanitizer its allocator also tells array lengths; the plain replay
// build for valgrind goes without that check, and valgrind reports any read past an array.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define SCENEIO_FUZZ_BLOCK_SIZES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCENEIO_FUZZ_BLOCK_SIZES 1
#endif
#endif

#if defined(SCENEIO_FUZZ_BLOCK_SIZES)
#include <sanitizer/allocator_interface.h>
#endif

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/file_buffer.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/types.h"

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace sceneio::fuzz {

inline bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// An exact-size heap copy with no terminator, so AddressSanitizer flags a read one byte over.
inline FileBuffer BufferOf(const uint8_t* bytes, size_t size) {
  FileBuffer file;
  file.data.reset(new char[size]);
  if (size > 0) std::memcpy(file.data.get(), bytes, size);
  file.size = static_cast<int32_t>(size);
  return file;
}

// The file's whitespace-separated tokens, split independently of the TokenReader.
inline std::vector<std::string_view> Tokens(const char* bytes, size_t size) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < size) {
    while (i < size && IsSpace(bytes[i])) ++i;
    const size_t start = i;
    while (i < size && !IsSpace(bytes[i])) ++i;
    if (i > start) tokens.emplace_back(bytes + start, i - start);
  }
  return tokens;
}

inline size_t CountTokens(const std::vector<std::string_view>& tokens, std::string_view wanted,
                          size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, tokens.size());
  return from >= to
             ? 0
             : static_cast<size_t>(std::count(tokens.begin() + from, tokens.begin() + to, wanted));
}

// Every stored string comes from one token, so it holds no whitespace and is no longer than
// the file.
inline void CheckTokenText(const std::string& text, size_t fileSize) {
  FUZZ_CHECK(text.size() <= fileSize);
  FUZZ_CHECK(std::none_of(text.begin(), text.end(), IsSpace));
}

#if defined(SCENEIO_FUZZ_BLOCK_SIZES)
// AddressSanitizer poisons the array cookie; reading it here is deliberate.
__attribute__((no_sanitize("address"))) inline size_t ReadCookie(const char* at) {
  size_t stored = 0;
  for (size_t i = 0; i < sizeof stored; ++i) {
    stored |= static_cast<size_t>(static_cast<unsigned char>(at[i])) << (8 * i);
  }
  return stored;
}

// The number of elements the allocator holds for an array made by array new. For an element
// type with a destructor the ABI keeps the count in a cookie just before the first element;
// otherwise the block holds exactly the elements.
template <typename T>
size_t AllocatedElements(const T* items) {
  const char* first = reinterpret_cast<const char*>(items);
  if constexpr (std::is_trivially_destructible_v<T>) {
    FUZZ_CHECK(__sanitizer_get_ownership(first));
    const size_t bytes = __sanitizer_get_allocated_size(first);
    if (bytes == 1 && sizeof(T) > 1) return 0;  // the sanitizer gives an empty block one byte
    FUZZ_CHECK(bytes % sizeof(T) == 0);
    return bytes / sizeof(T);
  } else {
    constexpr size_t kCookie = std::max(sizeof(size_t), alignof(T));
    const char* block = first - kCookie;
    FUZZ_CHECK(__sanitizer_get_ownership(block));
    const size_t stored = ReadCookie(first - sizeof(size_t));
    FUZZ_CHECK(__sanitizer_get_allocated_size(block) == kCookie + stored * sizeof(T));
    return stored;
  }
}
#endif

// count >= 0; items null only with count 0; when present, exactly count elements.
template <typename T>
void CheckArray(const CountedArray<T>& array) {
  FUZZ_CHECK(array.count >= 0);
  if (array.items == nullptr) {
    FUZZ_CHECK(array.count == 0);
    return;
  }
#if defined(SCENEIO_FUZZ_BLOCK_SIZES)
  FUZZ_CHECK(AllocatedElements(array.items.get()) == static_cast<size_t>(array.count));
#endif
}

// Records flattened to bytes, floats by their bits, so two parses of one file compare exactly.
class Flat {
 public:
  const std::string& bytes() const { return out_; }

  Flat& operator<<(float v) { return Raw(std::bit_cast<uint32_t>(v)); }
  Flat& operator<<(int32_t v) { return Raw(v); }
  Flat& operator<<(uint32_t v) { return Raw(v); }
  Flat& operator<<(uint8_t v) { return Raw(v); }
  Flat& operator<<(const std::string& s) {
    Raw(s.size());
    out_ += s;
    return *this;
  }
  Flat& operator<<(const Vector3& v) { return *this << v.x << v.y << v.z; }
  Flat& operator<<(const Color3& c) { return *this << c.r << c.g << c.b; }
  Flat& operator<<(const Vector2& v) { return *this << v.u << v.v; }
  Flat& operator<<(const Face& f) {
    for (const int32_t* triple : {f.triple1, f.triple2, f.triple3}) {
      *this << triple[0] << triple[1] << triple[2];
    }
    return *this;
  }
  Flat& operator<<(const Light& l) {
    return *this << l.name << l.brightness << l.rgb << l.direction << l.extraVector1
                 << l.extraVector2 << l.extraFlag << l.extraString << l.extraInt << l.extraPair;
  }
  Flat& operator<<(const Camera& c) {
    return *this << c.name << c.viewAngle << c.hither << c.yon << c.location << c.aim
                 << c.lookupVector;
  }
  Flat& operator<<(const Material& m) {
    return *this << m.name << m.diffuse << m.specular << m.extraColor1 << m.opacity << m.shininess
                 << m.extraColor2 << m.textureName << m.textureWidth << m.textureHeight
                 << m.textureChannels << m.textureBitsPerChannel;
  }
  Flat& operator<<(const Body& b) {
    return *this << b.name << b.vertices << b.normals << b.uvs << b.faceParts.firstName
                 << b.faceParts.secondName << b.faceParts.reserved << b.faceParts.indices
                 << b.faces;
  }
  template <typename T>
  Flat& operator<<(const CountedArray<T>& array) {
    *this << array.count << static_cast<uint8_t>(array.items != nullptr);
    for (const T& item : array) *this << item;
    return *this;
  }

 private:
  template <typename V>
  Flat& Raw(V v) {
    out_.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  std::string out_;
};

template <typename T>
std::string Flatten(const CountedArray<T>& array) {
  Flat flat;
  flat << array;
  return flat.bytes();
}

}  // namespace sceneio::fuzz
