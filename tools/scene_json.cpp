// Writes the scene dump. Layout follows the document's structure: small records on one line,
// large arrays one element per line, so a diff of two dumps points at the element that differs.
#include "scene_json.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>
#include <utility>

namespace sceneio {
namespace {

// Text is gathered in one string and handed to the stream in chunks of about this size: one
// call per chunk rather than one per value keeps a dump of millions of numbers fast.
constexpr size_t kChunk = size_t{1} << 20;

class JsonOut {
 public:
  explicit JsonOut(std::FILE* sink) : sink_(sink) {
    if (sink_ != nullptr) text_.reserve(kChunk + kChunk / 4);
  }

  std::string& text() { return text_; }
  bool ok() const { return ok_; }

  JsonOut& operator<<(std::string_view raw) {
    text_.append(raw);
    return *this;
  }
  JsonOut& operator<<(char raw) {
    text_.push_back(raw);
    return *this;
  }

  void Int(int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text_.append(digits, end);
  }
  void Float(float value) { AppendJsonFloat(text_, value); }
  void String(std::string_view bytes) { AppendJsonString(text_, bytes); }
  void Bool(bool value) { text_.append(value ? "true" : "false"); }

  void Indent(int depth) { text_.append(static_cast<size_t>(depth) * 2, ' '); }

  // Called between elements: writes out what has gathered once it is a full chunk.
  void Spill() {
    if (sink_ != nullptr && text_.size() >= kChunk) Flush();
  }
  void Flush() {
    if (sink_ == nullptr || text_.empty()) return;
    if (std::fwrite(text_.data(), 1, text_.size(), sink_) != text_.size()) ok_ = false;
    text_.clear();
  }

 private:
  std::FILE* sink_;
  std::string text_;
  bool ok_ = true;
};

// A short list of numbers, "[a, b, c]": the components of a vector or colour, or a face triple.
template <typename T, size_t n>
void WriteList(JsonOut& out, const T (&values)[n]) {
  out << '[';
  for (size_t i = 0; i < n; ++i) {
    if (i != 0) out << ", ";
    if constexpr (std::is_same_v<T, float>) {
      out.Float(values[i]);
    } else {
      out.Int(values[i]);
    }
  }
  out << ']';
}

void Write(JsonOut& out, const Vector3& v) {
  const float components[] = {v.x, v.y, v.z};
  WriteList(out, components);
}

void Write(JsonOut& out, const Color3& c) {
  const float components[] = {c.r, c.g, c.b};
  WriteList(out, components);
}

void Write(JsonOut& out, const Vector2& v) {
  const float components[] = {v.u, v.v};
  WriteList(out, components);
}

void Write(JsonOut& out, const int32_t (&triple)[3]) {
  WriteList(out, triple);
}

void Write(JsonOut& out, const Face& face) {
  out << '[';
  Write(out, face.triple1);
  out << ", ";
  Write(out, face.triple2);
  out << ", ";
  Write(out, face.triple3);
  out << ']';
}

// A key and its separator: `"key": `.
void Key(JsonOut& out, std::string_view key) {
  out << '"' << key << "\": ";
}

void Write(JsonOut& out, const Light& light) {
  out << '{';
  Key(out, "name");
  out.String(light.name);
  out << ", ";
  Key(out, "brightness");
  out.Float(light.brightness);
  out << ", ";
  Key(out, "rgb");
  Write(out, light.rgb);
  out << ", ";
  Key(out, "direction");
  Write(out, light.direction);
  out << ", ";
  Key(out, "extraVector1");
  Write(out, light.extraVector1);
  out << ", ";
  Key(out, "extraVector2");
  Write(out, light.extraVector2);
  out << ", ";
  Key(out, "extraFlag");
  out.Int(light.extraFlag);
  out << ", ";
  Key(out, "extraString");
  out.String(light.extraString);
  out << ", ";
  Key(out, "extraInt");
  out.Int(light.extraInt);
  out << ", ";
  Key(out, "extraPair");
  Write(out, light.extraPair);
  out << '}';
}

void Write(JsonOut& out, const Camera& camera) {
  out << '{';
  Key(out, "name");
  out.String(camera.name);
  out << ", ";
  Key(out, "viewAngle");
  out.Float(camera.viewAngle);
  out << ", ";
  Key(out, "hither");
  out.Float(camera.hither);
  out << ", ";
  Key(out, "yon");
  out.Float(camera.yon);
  out << ", ";
  Key(out, "location");
  Write(out, camera.location);
  out << ", ";
  Key(out, "aim");
  Write(out, camera.aim);
  out << ", ";
  Key(out, "lookupVector");
  Write(out, camera.lookupVector);
  out << '}';
}

void Write(JsonOut& out, const Material& material) {
  out << '{';
  Key(out, "name");
  out.String(material.name);
  out << ", ";
  Key(out, "diffuse");
  Write(out, material.diffuse);
  out << ", ";
  Key(out, "specular");
  Write(out, material.specular);
  out << ", ";
  Key(out, "extraColor1");
  Write(out, material.extraColor1);
  out << ", ";
  Key(out, "opacity");
  out.Float(material.opacity);
  out << ", ";
  Key(out, "shininess");
  out.Float(material.shininess);
  out << ", ";
  Key(out, "extraColor2");
  Write(out, material.extraColor2);
  out << ", ";
  Key(out, "textureName");
  out.String(material.textureName);
  out << ", ";
  Key(out, "textureWidth");
  out.Int(material.textureWidth);
  out << ", ";
  Key(out, "textureHeight");
  out.Int(material.textureHeight);
  out << ", ";
  Key(out, "textureChannels");
  out.Int(material.textureChannels);
  out << ", ";
  Key(out, "textureBitsPerChannel");
  out.Int(material.textureBitsPerChannel);
  out << '}';
}

void Write(JsonOut& out, const FileBuffer* file) {
  if (file == nullptr) {
    out << "null";
    return;
  }
  out << '{';
  Key(out, "path");
  out.String(file->path);
  out << ", ";
  Key(out, "directory");
  out.String(file->directory);
  out << ", ";
  Key(out, "baseName");
  out.String(file->baseName);
  out << ", ";
  Key(out, "extension");
  out.String(file->extension);
  out << ", ";
  Key(out, "read");
  out.Bool(file->data != nullptr);
  out << ", ";
  Key(out, "size");
  out.Int(file->size);
  out << '}';
}

enum class Layout { kInline, kOneElementPerLine };

// {"count": N, "items": ITEMS}. `depth` is the indentation (in steps of two spaces) of the line
// the object starts on; an element written on its own line starts two steps deeper.
template <typename T, typename WriteElement>
void WriteCounted(JsonOut& out, const CountedArray<T>& array, int depth, Layout layout,
                  WriteElement writeElement) {
  if (array.items == nullptr || array.count <= 0 || layout == Layout::kInline) {
    out << "{\"count\": ";
    out.Int(array.count);
    out << ", \"items\": ";
    if (array.items == nullptr) {
      out << "null}";
      return;
    }
    out << '[';
    for (int32_t i = 0; i < array.count; ++i) {
      if (i > 0) out << ", ";
      writeElement(out, array.items[i], depth);
    }
    out << "]}";
    return;
  }
  out << "{\n";
  out.Indent(depth + 1);
  out << "\"count\": ";
  out.Int(array.count);
  out << ",\n";
  out.Indent(depth + 1);
  out << "\"items\": [\n";
  for (int32_t i = 0; i < array.count; ++i) {
    out.Indent(depth + 2);
    writeElement(out, array.items[i], depth + 2);
    out << (i + 1 < array.count ? ",\n" : "\n");
    out.Spill();
  }
  out.Indent(depth + 1);
  out << "]\n";
  out.Indent(depth);
  out << '}';
}

// Elements that fit on one line ignore the depth they are written at.
constexpr auto kFlat = [](JsonOut& out, const auto& element, int) { Write(out, element); };

void Write(JsonOut& out, const FacePartSet& parts, int depth) {
  out << "{\n";
  out.Indent(depth + 1);
  Key(out, "firstName");
  out.String(parts.firstName);
  out << ",\n";
  out.Indent(depth + 1);
  Key(out, "secondName");
  out.String(parts.secondName);
  out << ",\n";
  out.Indent(depth + 1);
  Key(out, "reserved");
  out.Int(parts.reserved);
  out << ",\n";
  out.Indent(depth + 1);
  Key(out, "indices");
  WriteCounted(out, parts.indices, depth + 1, Layout::kInline,
               [](JsonOut& o, int32_t index, int) { o.Int(index); });
  out << '\n';
  out.Indent(depth);
  out << '}';
}

void Write(JsonOut& out, const Body& body, int depth) {
  const int field = depth + 1;
  out << "{\n";
  out.Indent(field);
  Key(out, "name");
  out.String(body.name);
  out << ",\n";
  out.Indent(field);
  Key(out, "vertices");
  WriteCounted(out, body.vertices, field, Layout::kOneElementPerLine, kFlat);
  out << ",\n";
  out.Indent(field);
  Key(out, "normals");
  WriteCounted(out, body.normals, field, Layout::kOneElementPerLine, kFlat);
  out << ",\n";
  out.Indent(field);
  Key(out, "uvs");
  WriteCounted(out, body.uvs, field, Layout::kOneElementPerLine, kFlat);
  out << ",\n";
  out.Indent(field);
  Key(out, "faceParts");
  Write(out, body.faceParts, field);
  out << ",\n";
  out.Indent(field);
  Key(out, "faces");
  WriteCounted(out, body.faces, field, Layout::kOneElementPerLine, kFlat);
  out << '\n';
  out.Indent(depth);
  out << '}';
}

void WriteDocument(JsonOut& out, const Scene& scene, int32_t result) {
  out << "{\n  \"result\": ";
  out.Int(result);
  out << ",\n  \"files\": {\n    \"group\": ";
  Write(out, scene.groupFile.get());
  out << ",\n    \"light\": ";
  Write(out, scene.lightFile.get());
  out << ",\n    \"camera\": ";
  Write(out, scene.cameraFile.get());
  out << ",\n    \"material\": ";
  Write(out, scene.materialFile.get());
  out << ",\n    \"object\": ";
  Write(out, scene.objectFile.get());
  out << "\n  },\n  \"lights\": ";
  WriteCounted(out, scene.lights, 1, Layout::kOneElementPerLine, kFlat);
  out << ",\n  \"camera\": ";
  WriteCounted(out, scene.camera, 1, Layout::kOneElementPerLine, kFlat);
  out << ",\n  \"materials\": ";
  WriteCounted(out, scene.materials, 1, Layout::kOneElementPerLine, kFlat);
  out << ",\n  \"objects\": ";
  WriteCounted(out, scene.objects, 1, Layout::kOneElementPerLine,
               [](JsonOut& o, const Body& body, int depth) { Write(o, body, depth); });
  out << "\n}\n";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t plainStart = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const bool plain = byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
    if (plain) continue;
    // Runs of plain bytes go in with one append.
    out.append(bytes, plainStart, i - plainStart);
    plainStart = i + 1;
    if (byte == '"' || byte == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(byte));
    } else {
      const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
      out.append(escape, sizeof escape);
    }
  }
  out.append(bytes, plainStart, bytes.size() - plainStart);
  out.push_back('"');
}

void AppendJsonFloat(std::string& out, float value) {
  if (std::isnan(value)) {
    out.append("\"nan\"");
    return;
  }
  if (std::isinf(value)) {
    out.append(value < 0 ? "\"-inf\"" : "\"inf\"");
    return;
  }
  // The float overload gives the shortest text that reads back as this float, "-0" included.
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

std::string SceneJson(const Scene& scene, int32_t result) {
  JsonOut out(nullptr);
  WriteDocument(out, scene, result);
  return std::move(out.text());
}

bool WriteSceneJson(const Scene& scene, int32_t result, std::FILE* out) {
  JsonOut json(out);
  WriteDocument(json, scene, result);
  json.Flush();
  return json.ok() && std::fflush(out) == 0;
}

}  // namespace sceneio
