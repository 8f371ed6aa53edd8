// Bodies as text that tells every field apart: floats by their bits, arrays with their presence.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "sceneio/body.h"

namespace sceneio::testing {

// Every field in order, floats by their bits, arrays with their presence, so two Bodies print
// alike only when a caller could tell no difference between them.
template <typename T, typename Append>
inline void AppendArray(std::string& out, const CountedArray<T>& list, Append append) {
  out += list.items == nullptr ? "absent" : std::to_string(list.count) + ":";
  for (const T& item : list) append(item);
  out += ';';
}

inline void AppendBits(std::string& out, float value) {
  out += std::to_string(std::bit_cast<uint32_t>(value));
  out += ' ';
}

inline std::string Flatten(const CountedArray<Body>& bodies) {
  std::string out = bodies.items == nullptr ? "absent" : std::to_string(bodies.count);
  const auto vector = [&out](const Vector3& v) {
    AppendBits(out, v.x);
    AppendBits(out, v.y);
    AppendBits(out, v.z);
  };
  const auto integer = [&out](int32_t value) { out += std::to_string(value) + ' '; };
  for (const Body& body : bodies) {
    out += "\n" + body.name + "|";
    AppendArray(out, body.vertices, vector);
    AppendArray(out, body.normals, vector);
    AppendArray(out, body.uvs, [&out](const Vector2& uv) {
      AppendBits(out, uv.u);
      AppendBits(out, uv.v);
    });
    out += body.faceParts.firstName + "|" + body.faceParts.secondName + "|";
    AppendArray(out, body.faceParts.indices, integer);
    AppendArray(out, body.faces, [&](const Face& face) {
      for (const auto* triple : {&face.triple1, &face.triple2, &face.triple3}) {
        for (int32_t value : *triple) integer(value);
      }
    });
  }
  return out;
}

}  // namespace sceneio::testing
