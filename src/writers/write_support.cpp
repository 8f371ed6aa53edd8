// What every file kind's writer shares: refusals, and values as text.
#include <cstring>
#include <string>

#include "io/names.h"
#include "writers/writers.h"

namespace sceneio {

Status Refuse(std::string_view kind, int64_t index, std::string_view name, std::string_view field,
              std::string_view klass, std::string_view detail) {
  std::string message = "cannot write ";
  message.append(kind).append(" ").append(std::to_string(index));
  if (!name.empty()) {
    message += " ";
    AppendShownBytes(message, name);
  }
  message.append(", field ").append(field).append(": ").append(klass).append(": ");
  message.append(detail).append("; nothing written");
  Status status;
  status.Fail(StatusCode::kInvalidScene, std::move(message));
  return status;
}

bool IsOneToken(std::string_view name) {
  return !name.empty() && name.find_first_of("\t\n\v\f\r ") == std::string_view::npos;
}

bool IsDefault(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == 0;
}
bool IsDefault(const Vector3& v) {
  return IsDefault(v.x) && IsDefault(v.y) && IsDefault(v.z);
}
bool IsDefault(const Color3& c) {
  return IsDefault(c.r) && IsDefault(c.g) && IsDefault(c.b);
}
bool IsDefault(const Vector2& v) {
  return IsDefault(v.u) && IsDefault(v.v);
}

void WriteValue(TextOut& out, float value) {
  out.Float(value);
}
void WriteValue(TextOut& out, int32_t value) {
  out.Int(value);
}
void WriteValue(TextOut& out, const Vector3& v) {
  out.Float(v.x);
  out << ' ';
  out.Float(v.y);
  out << ' ';
  out.Float(v.z);
}
void WriteValue(TextOut& out, const Color3& c) {
  out.Float(c.r);
  out << ' ';
  out.Float(c.g);
  out << ' ';
  out.Float(c.b);
}

}  // namespace sceneio
