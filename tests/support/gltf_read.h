// Reads back what the glTF writer wrote: the JSON and the binary buffer, from a .glb or from a
// .gltf with its .bin, checking the container's framing on the way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

namespace sceneio::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct GltfFile {
  nlohmann::json json;
  std::string bin;  // the buffer's bytes (empty when there is none)
};

inline uint32_t Le32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

// Fails the calling test (through ADD_FAILURE) on any framing fault; returns what it could read.
inline GltfFile ReadGltf(const std::filesystem::path& path) {
  GltfFile file;
  const std::string bytes = ReadBytes(path);
  if (path.extension() == ".gltf") {
    file.json = nlohmann::json::parse(bytes);
    if (file.json.contains("buffers")) {
      file.bin = ReadBytes(path.parent_path() / file.json["buffers"][0]["uri"].get<std::string>());
    }
    return file;
  }
  if (bytes.size() < 20 || Le32At(bytes, 0) != 0x46546C67 || Le32At(bytes, 4) != 2 ||
      Le32At(bytes, 8) != bytes.size()) {
    ADD_FAILURE() << path << ": not a version 2 .glb of its own length";
    return file;
  }
  const uint32_t jsonLength = Le32At(bytes, 12);
  EXPECT_EQ(Le32At(bytes, 16), 0x4E4F534Au);
  EXPECT_EQ(jsonLength % 4, 0u);
  const std::string json = bytes.substr(20, jsonLength);
  // Padding after the JSON must be spaces, so the chunk still parses as JSON.
  EXPECT_EQ(json.find_last_not_of(' ') + 1, json.find_last_of('}') + 1);
  file.json = nlohmann::json::parse(json);
  const size_t binAt = 20 + jsonLength;
  if (binAt == bytes.size()) return file;
  const uint32_t binLength = Le32At(bytes, binAt);
  EXPECT_EQ(Le32At(bytes, binAt + 4), 0x004E4942u);
  EXPECT_EQ(binLength % 4, 0u);
  EXPECT_EQ(binAt + 8 + binLength, bytes.size());
  file.bin = bytes.substr(binAt + 8, binLength);
  return file;
}

}  // namespace sceneio::testing
