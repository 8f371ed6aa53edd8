// Any loadable scene converted to one .glb, which is then read back and held to what every
// written document must satisfy: the container's framing, every buffer view inside the buffer
// and every accessor inside its view, every index below its primitive's vertex count, every
// accessor's min and max equal to the data, and every name valid UTF-8. Input: the five files as
// in scene_files.h; after a fifth separator, one byte for the face roles and index base.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "scene_files.h"
#include "sceneio/export.h"
#include "sceneio/gltf.h"
#include "sceneio/scene.h"

namespace {

using namespace sceneio;
using nlohmann::json;

constexpr std::array<TripleRole, 3> kRoles[] = {
    {TripleRole::kPosition, TripleRole::kNormal, TripleRole::kUv},
    {TripleRole::kPosition, TripleRole::kUv, TripleRole::kNormal},
    {TripleRole::kNormal, TripleRole::kPosition, TripleRole::kUv},
    {TripleRole::kUv, TripleRole::kNone, TripleRole::kPosition},
    {TripleRole::kPosition, TripleRole::kNone, TripleRole::kNone},
    {TripleRole::kNone, TripleRole::kPosition, TripleRole::kNormal},
};

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

bool ValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t more = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, code = lead & 0x07;
    } else {
      return false;
    }
    if (i + more >= text.size()) return false;
    for (size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    const uint32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

// Every "name" anywhere in the document.
void CheckNames(const json& node) {
  if (node.is_object()) {
    for (auto it = node.begin(); it != node.end(); ++it) {
      if (it.key() == "name" && it.value().is_string()) {
        FUZZ_CHECK(ValidUtf8(it.value().get_ref<const std::string&>()));
      }
      CheckNames(it.value());
    }
  } else if (node.is_array()) {
    for (const json& item : node) CheckNames(item);
  }
}

size_t ComponentSize(int type) {
  switch (type) {
    case 5120:
    case 5121:
      return 1;
    case 5122:
    case 5123:
      return 2;
    case 5125:
    case 5126:
      return 4;
  }
  FUZZ_CHECK(!"unknown component type");
  return 0;
}

size_t Components(const std::string& type) {
  if (type == "SCALAR") return 1;
  if (type == "VEC2") return 2;
  if (type == "VEC3") return 3;
  if (type == "VEC4") return 4;
  FUZZ_CHECK(!"unknown accessor type");
  return 0;
}

// One accessor laid over the binary chunk, every bound checked on the way.
struct Accessor {
  const char* data = nullptr;
  size_t count = 0;
  size_t components = 0;
  size_t componentSize = 0;
  size_t stride = 0;
  int componentType = 0;

  double At(size_t element, size_t component) const {
    const char* p = data + element * stride + component * componentSize;
    switch (componentType) {
      case 5126: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
      }
      case 5125: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
      }
      case 5123: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
      }
      case 5121:
        return static_cast<unsigned char>(*p);
    }
    FUZZ_CHECK(!"component type not read back");
    return 0;
  }
};

Accessor Lay(const json& doc, size_t index, const std::string& bin) {
  FUZZ_CHECK(index < doc["accessors"].size());
  const json& accessor = doc["accessors"][index];
  Accessor out;
  out.count = accessor.at("count").get<size_t>();
  out.componentType = accessor.at("componentType").get<int>();
  out.componentSize = ComponentSize(out.componentType);
  out.components = Components(accessor.at("type").get<std::string>());
  const size_t element = out.componentSize * out.components;
  FUZZ_CHECK(out.count > 0);
  const size_t viewIndex = accessor.at("bufferView").get<size_t>();
  FUZZ_CHECK(viewIndex < doc["bufferViews"].size());
  const json& view = doc["bufferViews"][viewIndex];
  FUZZ_CHECK(view.at("buffer").get<size_t>() == 0);
  const size_t viewOffset = view.value("byteOffset", size_t{0});
  const size_t viewLength = view.at("byteLength").get<size_t>();
  const size_t bufferLength = doc["buffers"][0].at("byteLength").get<size_t>();
  FUZZ_CHECK(viewOffset <= bufferLength && viewLength <= bufferLength - viewOffset);
  out.stride = view.value("byteStride", element);
  FUZZ_CHECK(out.stride >= element);
  const size_t offset = accessor.value("byteOffset", size_t{0});
  FUZZ_CHECK(offset % out.componentSize == 0 && (viewOffset + offset) % out.componentSize == 0);
  FUZZ_CHECK(offset + out.stride * (out.count - 1) + element <= viewLength);
  out.data = bin.data() + viewOffset + offset;
  return out;
}

void CheckMinMax(const json& accessor, const Accessor& data) {
  if (!accessor.contains("min") && !accessor.contains("max")) return;
  FUZZ_CHECK(accessor.contains("min") && accessor.contains("max"));
  FUZZ_CHECK(accessor["min"].size() == data.components &&
             accessor["max"].size() == data.components);
  for (size_t c = 0; c < data.components; ++c) {
    double least = data.At(0, c);
    double most = least;
    for (size_t e = 1; e < data.count; ++e) {
      least = std::min(least, data.At(e, c));
      most = std::max(most, data.At(e, c));
    }
    const auto written = [&](const char* key) { return accessor[key][c].get<double>(); };
    if (data.componentType == 5126) {
      FUZZ_CHECK(static_cast<float>(written("min")) == static_cast<float>(least));
      FUZZ_CHECK(static_cast<float>(written("max")) == static_cast<float>(most));
    } else {
      FUZZ_CHECK(written("min") == least && written("max") == most);
    }
  }
}

void CheckGlb(const std::string& glb) {
  FUZZ_CHECK(glb.size() >= 20 && glb.compare(0, 4, "glTF") == 0);
  FUZZ_CHECK(Le32(glb, 4) == 2 && Le32(glb, 8) == glb.size());
  const size_t jsonLength = Le32(glb, 12);
  FUZZ_CHECK(Le32(glb, 16) == 0x4E4F534Au);  // "JSON"
  FUZZ_CHECK(jsonLength % 4 == 0 && 20 + jsonLength <= glb.size());
  const std::string text = glb.substr(20, jsonLength);
  const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
  FUZZ_CHECK(!doc.is_discarded());
  CheckNames(doc);

  std::string bin;
  size_t at = 20 + jsonLength;
  if (at < glb.size()) {
    FUZZ_CHECK(at + 8 <= glb.size());
    const size_t binLength = Le32(glb, at);
    FUZZ_CHECK(Le32(glb, at + 4) == 0x004E4942u);  // "BIN\0"
    FUZZ_CHECK(binLength % 4 == 0 && at + 8 + binLength == glb.size());
    bin = glb.substr(at + 8, binLength);
  }
  if (doc.contains("buffers")) {
    FUZZ_CHECK(doc["buffers"].size() == 1);
    FUZZ_CHECK(!doc["buffers"][0].contains("uri"));
    FUZZ_CHECK(doc["buffers"][0].at("byteLength").get<size_t>() <= bin.size());
  }
  if (doc.contains("bufferViews")) {
    const size_t bufferLength = doc["buffers"][0].at("byteLength").get<size_t>();
    for (const json& view : doc["bufferViews"]) {
      const size_t offset = view.value("byteOffset", size_t{0});
      FUZZ_CHECK(offset <= bufferLength &&
                 view.at("byteLength").get<size_t>() <= bufferLength - offset);
    }
  }
  if (doc.contains("accessors")) {
    for (size_t i = 0; i < doc["accessors"].size(); ++i) {
      CheckMinMax(doc["accessors"][i], Lay(doc, i, bin));
    }
  }
  if (!doc.contains("meshes")) return;
  for (const json& mesh : doc["meshes"]) {
    for (const json& primitive : mesh.at("primitives")) {
      const json& attributes = primitive.at("attributes");
      const size_t vertices = Lay(doc, attributes.at("POSITION").get<size_t>(), bin).count;
      for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        FUZZ_CHECK(Lay(doc, it.value().get<size_t>(), bin).count == vertices);
      }
      if (!primitive.contains("indices")) continue;
      const Accessor indices = Lay(doc, primitive["indices"].get<size_t>(), bin);
      FUZZ_CHECK(indices.components == 1);
      for (size_t e = 0; e < indices.count; ++e) FUZZ_CHECK(indices.At(e, 0) < vertices);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SceneFiles::Create();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view extra;
  if (!fuzz::SceneFiles::Write({reinterpret_cast<const char*>(data), size}, extra)) return -1;
  Scene scene;
  if (scene.Load(fuzz::SceneFiles::GroupPath().c_str()) != 0) return 0;

  ExportOptions options;
  if (!extra.empty()) {
    const auto choice = static_cast<unsigned char>(extra[0]);
    options.faces = kRoles[(choice >> 1) % std::size(kRoles)];
    options.indexBase = choice & 1;
  }
  const std::string path = fuzz::SceneFiles::OutputPath("out.glb");
  std::remove(path.c_str());
  const Status result = WriteGltf(scene, options, path);
  std::ifstream in(path, std::ios::binary);
  if (!result.ok()) {
    FUZZ_CHECK(!result.message.empty());
    FUZZ_CHECK(!in);  // nothing is left behind
    return 0;
  }
  FUZZ_CHECK(in.good());
  const std::string glb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CheckGlb(glb);
  return 0;
}
