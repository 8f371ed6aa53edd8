// The writer of each file kind: what it refuses, and the text it writes. A check runs over the
// whole scene before any text is made, so a refusal leaves nothing written.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/fields.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/status.h"
#include "sceneio/writer.h"
#include "writers/text_out.h"

namespace sceneio {

// What cannot be written so that it loads back the same, one name per class; each refusal's
// message carries the name.
namespace refusal {
// A record the counting pass counted and the filling pass never reached: it has nothing but its
// defaults, and the text that counts it without filling it is a deliberately broken entry.
inline constexpr std::string_view kUnreached = "unreached record";
// A body name is the token after "body"; only the end of the data leaves it empty.
inline constexpr std::string_view kEmptyBodyName = "empty body name";
// A face-part set whose names were cut off by the end of the data.
inline constexpr std::string_view kFacePartsCutShort = "face-part set cut short";
// "GL_Shade" as a material or texture name would be counted as one more material.
inline constexpr std::string_view kCountedName = "name counted as a material";
// Only a scene built in memory can hold these.
inline constexpr std::string_view kNoKeyword = "field no keyword fills";
inline constexpr std::string_view kNotANumber = "not a number";
inline constexpr std::string_view kNotOneToken = "name not one token";
inline constexpr std::string_view kBrokenArray = "array without its items";
}  // namespace refusal

// "kind 2 \"name\", field F: CLASS: detail", naming bytes outside printable ASCII as \xNN.
Status Refuse(std::string_view kind, int64_t index, std::string_view name, std::string_view field,
              std::string_view klass, std::string_view detail);

// A name token the files can hold: at least one byte, none of them whitespace.
bool IsOneToken(std::string_view name);

// The first component that is NaN, or -1.
inline int NanAt(float value) {
  return std::isnan(value) ? 0 : -1;
}
inline int NanAt(const Vector3& v) {
  return std::isnan(v.x) ? 0 : std::isnan(v.y) ? 1 : std::isnan(v.z) ? 2 : -1;
}
inline int NanAt(const Color3& c) {
  return std::isnan(c.r) ? 0 : std::isnan(c.g) ? 1 : std::isnan(c.b) ? 2 : -1;
}
inline int NanAt(const Vector2& v) {
  return std::isnan(v.u) ? 0 : std::isnan(v.v) ? 1 : -1;
}

// Whether a value is exactly what construction gives it, bit for bit (-0 is not 0).
bool IsDefault(float value);
bool IsDefault(const Vector3& v);
bool IsDefault(const Color3& c);
bool IsDefault(const Vector2& v);
inline bool IsDefault(const std::string& s) {
  return s.empty();
}
inline bool IsDefault(int32_t value) {
  return value == 0;
}
inline bool IsDefault(uint32_t value) {
  return value == 0;
}
inline bool IsDefault(uint8_t value) {
  return value == 0;
}

// The values after a keyword, separated by single spaces: "0.7 0.3 0.2".
void WriteValue(TextOut& out, float value);
void WriteValue(TextOut& out, int32_t value);
void WriteValue(TextOut& out, const Vector3& v);
void WriteValue(TextOut& out, const Color3& c);

// Checks a field-table row whose member holds floats: NaN is refused, and a row no keyword
// fills must hold its default. `kind`, `index` and `name` say which record, for the message.
template <typename Record>
Status CheckField(const Field<Record>& row, const Record& record, std::string_view kind,
                  int64_t index, std::string_view name) {
  return std::visit(
      [&](auto member) -> Status {
        const auto& value = record.*member;
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Value, float> || std::is_same_v<Value, Vector3> ||
                      std::is_same_v<Value, Color3> || std::is_same_v<Value, Vector2>) {
          const int at = NanAt(value);
          if (at >= 0) {
            return Refuse(kind, index, name, row.name, refusal::kNotANumber,
                          "component " + std::to_string(at) + " is NaN, which no decimal reads as");
          }
        }
        if constexpr (std::is_same_v<Value, float> || std::is_same_v<Value, Vector3> ||
                      std::is_same_v<Value, Color3> || std::is_same_v<Value, Vector2> ||
                      std::is_same_v<Value, std::string> || std::is_same_v<Value, int32_t> ||
                      std::is_same_v<Value, uint32_t> || std::is_same_v<Value, uint8_t>) {
          if (row.keyword.empty() && !IsDefault(value)) {
            return Refuse(kind, index, name, row.name, refusal::kNoKeyword,
                          "it holds a value other than its default, and no keyword of the file "
                          "sets it");
          }
        }
        return Status{};
      },
      row.member);
}

Status CheckLights(const CountedArray<Light>& lights);
void WriteLights(const CountedArray<Light>& lights, TextOut& out);

Status CheckCamera(const CountedArray<Camera>& camera);
void WriteCamera(const CountedArray<Camera>& camera, TextOut& out);

Status CheckMaterials(const CountedArray<Material>& materials);
void WriteMaterials(const CountedArray<Material>& materials, TextOut& out);

Status CheckObjects(const CountedArray<Body>& objects);
void WriteObjects(const CountedArray<Body>& objects, TextOut& out);

// The four include entries, named after `baseName`, then the body-material entries.
Status CheckGroup(const std::string& baseName, const WriteOptions& options);
void WriteGroup(const std::string& baseName, const WriteOptions& options, TextOut& out);

}  // namespace sceneio
