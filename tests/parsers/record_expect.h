// Field-by-field checks of parsed records against expected ones, floats compared bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <type_traits>

#include "sceneio/file_buffer.h"
#include "sceneio/types.h"

namespace sceneio::testing {

inline uint32_t Bits(float value) {
  return std::bit_cast<uint32_t>(value);
}

inline void ExpectSame(float got, float want, const char* field) {
  EXPECT_EQ(Bits(got), Bits(want)) << field << ": got " << got << ", want " << want;
}
inline void ExpectSame(const Vector3& got, const Vector3& want, const char* field) {
  ExpectSame(got.x, want.x, field);
  ExpectSame(got.y, want.y, field);
  ExpectSame(got.z, want.z, field);
}
inline void ExpectSame(const Color3& got, const Color3& want, const char* field) {
  ExpectSame(got.r, want.r, field);
  ExpectSame(got.g, want.g, field);
  ExpectSame(got.b, want.b, field);
}
inline void ExpectSame(const Vector2& got, const Vector2& want, const char* field) {
  ExpectSame(got.u, want.u, field);
  ExpectSame(got.v, want.v, field);
}
template <typename T>
requires(!std::is_floating_point_v<T>) inline void ExpectSame(const T& got, const T& want,
                                                              const char* field) {
  EXPECT_EQ(got, want) << field;
}

// Compares one field of `got` and `want` by name: EXPECT_FIELD(rgb).
#define EXPECT_FIELD(field) ::sceneio::testing::ExpectSame(got.field, want.field, #field)

// One file of the sample scene in examples/dork, read whole.
inline FileBuffer SampleFile(const std::string& name) {
  FileBuffer file((std::string(SCENEIO_SOURCE_DIR) + "/examples/dork/" + name).c_str());
  EXPECT_NE(file.data, nullptr) << name;
  return file;
}

}  // namespace sceneio::testing
