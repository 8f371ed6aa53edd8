// Writes the scene dump. Layout follows the document's structure: small records on one line,
// large arrays one element per line, so a diff of two dumps points at the element that differs.
// The records' fields come from their tables (sceneio/fields.h), in table order.
#include <charconv>
#include <cmath>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "io/names.h"
#include "sceneio/dump.h"
#include "sceneio/fields.h"
#include "sceneio/file_kinds.h"

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

template <typename Record, size_t n>
void WriteFields(JsonOut& out, const Record& record, const Field<Record> (&fields)[n], int depth,
                 Layout layout);

// One field's value; `depth` is the indentation of the line its key stands on.
void WriteValue(JsonOut& out, const std::string& bytes, int) {
  out.String(bytes);
}
void WriteValue(JsonOut& out, float value, int) {
  out.Float(value);
}
template <typename Integer>
requires std::is_integral_v<Integer>
void WriteValue(JsonOut& out, Integer value, int) {
  out.Int(value);
}
template <typename Small>
requires(std::is_same_v<Small, Vector3> || std::is_same_v<Small, Color3> ||
         std::is_same_v<Small, Vector2>) void WriteValue(JsonOut& out, const Small& value, int) {
  Write(out, value);
}
// Geometry arrays are long: one element per line, so a diff points at the element that differs.
template <typename Element>
void WriteValue(JsonOut& out, const CountedArray<Element>& array, int depth) {
  if constexpr (std::is_same_v<Element, int32_t>) {
    WriteCounted(out, array, depth, Layout::kInline,
                 [](JsonOut& o, int32_t index, int) { o.Int(index); });
  } else {
    WriteCounted(out, array, depth, Layout::kOneElementPerLine, kFlat);
  }
}
void WriteValue(JsonOut& out, const FacePartSet& parts, int depth) {
  WriteFields(out, parts, kFacePartFields, depth, Layout::kOneElementPerLine);
}

// A record as an object of its fields in table order: on one line, or a field per line.
template <typename Record, size_t n>
void WriteFields(JsonOut& out, const Record& record, const Field<Record> (&fields)[n], int depth,
                 Layout layout) {
  const bool lines = layout == Layout::kOneElementPerLine;
  out << (lines ? "{\n" : "{");
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) out << (lines ? ",\n" : ", ");
    if (lines) out.Indent(depth + 1);
    Key(out, fields[i].name);
    std::visit([&](auto member) { WriteValue(out, record.*member, depth + 1); }, fields[i].member);
  }
  if (lines) {
    out << '\n';
    out.Indent(depth);
  }
  out << '}';
}

constexpr auto kLight = [](JsonOut& out, const Light& light, int depth) {
  WriteFields(out, light, kLightFields, depth, Layout::kInline);
};
constexpr auto kCamera = [](JsonOut& out, const Camera& camera, int depth) {
  WriteFields(out, camera, kCameraFields, depth, Layout::kInline);
};
constexpr auto kMaterial = [](JsonOut& out, const Material& material, int depth) {
  WriteFields(out, material, kMaterialFields, depth, Layout::kInline);
};
constexpr auto kBody = [](JsonOut& out, const Body& body, int depth) {
  WriteFields(out, body, kBodyFields, depth, Layout::kOneElementPerLine);
};

void WriteDocument(JsonOut& out, const Scene& scene, int32_t result) {
  out << "{\n  \"result\": ";
  out.Int(result);
  out << ",\n  \"files\": {";
  for (const FileKind& kind : kFileKinds) {
    out << (&kind == kFileKinds ? "\n    \"" : ",\n    \"") << kind.name << "\": ";
    Write(out, (scene.*kind.file).get());
  }
  out << "\n  },\n  \"lights\": ";
  WriteCounted(out, scene.lights, 1, Layout::kOneElementPerLine, kLight);
  out << ",\n  \"camera\": ";
  WriteCounted(out, scene.camera, 1, Layout::kOneElementPerLine, kCamera);
  out << ",\n  \"materials\": ";
  WriteCounted(out, scene.materials, 1, Layout::kOneElementPerLine, kMaterial);
  out << ",\n  \"objects\": ";
  WriteCounted(out, scene.objects, 1, Layout::kOneElementPerLine, kBody);
  out << "\n}\n";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
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
      const char escape[] = {
          '\\', 'u', '0', '0', kLowerHexDigits[byte >> 4], kLowerHexDigits[byte & 0xF]};
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

Status WriteSceneJson(const Scene& scene, int32_t result, std::FILE* out) {
  Status status;
  try {
    JsonOut json(out);
    WriteDocument(json, scene, result);
    json.Flush();
    if (!json.ok() || std::fflush(out) != 0)
      status.Fail(StatusCode::kWriteFailed, "cannot write the dump");
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while writing the dump");
  }
  return status;
}

}  // namespace sceneio
