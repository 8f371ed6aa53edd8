// Small glTF documents built in a test: JSON through nlohmann, one buffer as a data URI.
#pragma once

#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace sceneio::testing {

inline std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t n =
        (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kDigits[(n >> s) & 63];
  }
  if (i + 1 == bytes.size()) {
    const uint32_t n = uint8_t(bytes[i]) << 16;
    out += {kDigits[(n >> 18) & 63], kDigits[(n >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
    out += {kDigits[(n >> 18) & 63], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], '='};
  }
  return out;
}

struct GltfDoc {
  nlohmann::json json = {{"asset", {{"version", "2.0"}}}};
  std::string bin;

  template <typename T>
  int View(const std::vector<T>& values, size_t stride = 0) {
    while (bin.size() % 4 != 0) bin += '\0';
    nlohmann::json view = {
        {"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", values.size() * sizeof(T)}};
    if (stride != 0) view["byteStride"] = stride;
    bin.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    json["bufferViews"].push_back(view);
    return static_cast<int>(json["bufferViews"].size()) - 1;
  }

  int Accessor(int view, int componentType, size_t count, const char* type,
               bool normalized = false) {
    nlohmann::json accessor = {{"componentType", componentType}, {"count", count}, {"type", type}};
    if (view >= 0) accessor["bufferView"] = view;
    if (normalized) accessor["normalized"] = true;
    json["accessors"].push_back(accessor);
    return static_cast<int>(json["accessors"].size()) - 1;
  }

  int Floats(const std::vector<float>& values, const char* type) {
    const size_t per = std::strcmp(type, "VEC3") == 0 ? 3 : std::strcmp(type, "VEC2") == 0 ? 2 : 1;
    return Accessor(View(values), 5126, values.size() / per, type);
  }

  int Indices(const std::vector<uint16_t>& values) {
    return Accessor(View(values), 5123, values.size(), "SCALAR");
  }

  // A mesh of one primitive; returns the mesh index.
  int Mesh(nlohmann::json attributes, int indices = -1, int mode = 4, int material = -1) {
    nlohmann::json primitive = {{"attributes", attributes}, {"mode", mode}};
    if (indices >= 0) primitive["indices"] = indices;
    if (material >= 0) primitive["material"] = material;
    json["meshes"].push_back({{"primitives", {primitive}}});
    return static_cast<int>(json["meshes"].size()) - 1;
  }

  int Node(nlohmann::json node) {
    json["nodes"].push_back(node);
    return static_cast<int>(json["nodes"].size()) - 1;
  }

  std::string Text() const {
    nlohmann::json out = json;
    if (!bin.empty()) {
      out["buffers"] = {{{"byteLength", bin.size()},
                         {"uri", "data:application/octet-stream;base64," + Base64(bin)}}};
    }
    if (!out.contains("scenes") && out.contains("nodes")) {
      std::vector<int> roots;
      std::vector<bool> child(out["nodes"].size(), false);
      for (const auto& node : out["nodes"]) {
        if (node.contains("children")) {
          for (int c : node["children"]) child.at(static_cast<size_t>(c)) = true;
        }
      }
      for (size_t i = 0; i < child.size(); ++i) {
        if (!child[i]) roots.push_back(static_cast<int>(i));
      }
      out["scenes"] = {{{"nodes", roots}}};
      out["scene"] = 0;
    }
    return out.dump();
  }
};

}  // namespace sceneio::testing
