// Camera file writer: a header up to ")", then the one camera block from "(" to ")".
#include <string_view>

#include "sceneio/fields.h"
#include "writers/writers.h"

namespace sceneio {

Status CheckCamera(const CountedArray<Camera>& camera) {
  if (camera.count != 0 && camera.items == nullptr) {
    return Refuse("camera", 0, {}, "count", refusal::kBrokenArray, "no array holds it");
  }
  // The file holds one camera block or none; nothing is read after its ")".
  if (camera.items != nullptr && camera.count == 0) {
    return Refuse("camera", 0, {}, "count", refusal::kBrokenArray,
                  "an empty camera array: the camera file holds one camera or none");
  }
  if (camera.count > 1) {
    return Refuse("camera", 1, camera.items[1].name, "count", refusal::kUnreached,
                  "the camera file holds exactly one camera");
  }
  for (const Camera& record : camera) {
    for (const Field<Camera>& row : kCameraFields) {
      Status status = CheckField(row, record, "camera", 0, record.name);
      if (!status.ok()) return status;
    }
  }
  return {};
}

// camera )
// (
//   view-angle 45
//   ...
// )
// Without a camera the file has neither delimiter, which loads as no camera array.
void WriteCamera(const CountedArray<Camera>& camera, TextOut& out) {
  if (camera.items == nullptr || camera.count == 0) return;
  const Camera& record = camera.items[0];
  out << "camera )\n(\n";
  for (const Field<Camera>& row : kCameraFields) {
    if (row.keyword.empty()) continue;
    out << "  " << row.keyword << ' ';
    std::visit(
        [&](auto member) {
          if constexpr (requires { WriteValue(out, record.*member); }) {
            WriteValue(out, record.*member);
          }
        },
        row.member);
    out << '\n';
  }
  out << ")\n";
}

}  // namespace sceneio
