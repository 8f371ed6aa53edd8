// Light file writer: a list between "<" and ">", one entry per light from "(name" to ")".
#include <string_view>

#include "sceneio/fields.h"
#include "writers/writers.h"

namespace sceneio {

Status CheckLights(const CountedArray<Light>& lights) {
  if (lights.count != 0 && lights.items == nullptr) {
    return Refuse("lights", 0, {}, "count", refusal::kBrokenArray, "no array holds them");
  }
  int64_t index = 0;
  for (const Light& light : lights) {
    // The name goes between quotes, and the first quote would end it.
    if (light.name.find_first_of("\"\t\n\v\f\r ") != std::string::npos) {
      return Refuse("light", index, light.name, "name", refusal::kNotOneToken,
                    "a quote or whitespace cannot stand inside a quoted name");
    }
    for (const Field<Light>& row : kLightFields) {
      Status status = CheckField(row, light, "light", index, light.name);
      if (!status.ok()) return status;
    }
    ++index;
  }
  return {};
}

// (name "key"
//   brightness 1.5
//   rgb 1 0.95 0.8
//   direction -0.5 -1 -0.25
// )
// Every entry has its "(name", so the list counts exactly these lights; an absent list is no
// list at all, which loads as no light array.
void WriteLights(const CountedArray<Light>& lights, TextOut& out) {
  if (lights.items == nullptr) return;
  out << "lights ";
  out.Int(lights.count);
  out << "\n<\n";
  for (const Light& light : lights) {
    out << "(name \"" << light.name << "\"\n";
    for (const Field<Light>& row : kLightFields) {
      if (row.keyword.empty() || row.name == "name") continue;
      out << "  " << row.keyword << ' ';
      std::visit(
          [&](auto member) {
            if constexpr (requires { WriteValue(out, light.*member); }) {
              WriteValue(out, light.*member);
            }
          },
          row.member);
      out << '\n';
    }
    out << ")\n";
    out.Spill();
  }
  out << ">\n";
}

}  // namespace sceneio
