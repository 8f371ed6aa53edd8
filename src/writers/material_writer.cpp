// Material file writer: one block per material from "material" to ")", its properties after
// "GL_Shade" and its texture, when it has one, in a block of its own.
#include <string_view>

#include "sceneio/fields.h"
#include "writers/writers.h"

namespace sceneio {
namespace {

constexpr std::string_view kCounted = "GL_Shade";
constexpr std::string_view kTextureBlock = "TEXTURE-MAP";

bool HasTexture(const Material& material) {
  return !material.textureName.empty() || material.textureWidth != 0 ||
         material.textureHeight != 0 || material.textureChannels != 0 ||
         material.textureBitsPerChannel != 0;
}

// A material that the filling pass never reached: its name, read first, is empty only then.
bool Unreached(const Material& material) {
  return material.name.empty();
}

Status CheckMaterial(const Material& material, int64_t index, bool last) {
  if (Unreached(material)) {
    return Refuse("material", index, material.name, "name", refusal::kUnreached,
                  last ? "the file was counted one more material than it fills"
                       : "the file was counted more materials than it fills");
  }
  if (!IsOneToken(material.name)) {
    return Refuse("material", index, material.name, "name", refusal::kNotOneToken,
                  "whitespace would split it");
  }
  if (material.name == kCounted) {
    return Refuse("material", index, material.name, "name", refusal::kCountedName,
                  "every GL_Shade token counts one material");
  }
  // The texture name is the token after "name" in the texture block, whatever it is.
  if (!material.textureName.empty() && !IsOneToken(material.textureName)) {
    return Refuse("material", index, material.name, "textureName", refusal::kNotOneToken,
                  "whitespace would split it");
  }
  if (material.textureName == kCounted) {
    return Refuse("material", index, material.name, "textureName", refusal::kCountedName,
                  "every GL_Shade token counts one material");
  }
  for (const Field<Material>& row : kMaterialFields) {
    Status status = CheckField(row, material, "material", index, material.name);
    if (!status.ok()) return status;
  }
  return {};
}

void WriteRow(const Field<Material>& row, const Material& material, TextOut& out,
              std::string_view indent) {
  out << indent << row.keyword << ' ';
  std::visit(
      [&](auto member) {
        const auto& value = material.*member;
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
          out << value;
        } else if constexpr (requires { WriteValue(out, value); }) {
          WriteValue(out, value);
        }
      },
      row.member);
  out << '\n';
}

}  // namespace

Status CheckMaterials(const CountedArray<Material>& materials) {
  // Any material file, an empty one included, loads as a material array.
  if (materials.items == nullptr) {
    return Refuse("materials", 0, {}, "count", refusal::kBrokenArray,
                  "no material array, which no material file loads as");
  }
  for (int32_t i = 0; i < materials.count; ++i) {
    Status status = CheckMaterial(materials.items[i], i, i + 1 == materials.count);
    if (!status.ok()) return status;
  }
  return {};
}

// material "brick"
// (
//   GL_Shade
//   DIFFUSE-COLOR 0.7 0.3 0.2
//   ...
//   TEXTURE-MAP
//   (
//     name "brick.png"
//     width 256
//     ...
//   )
// )
// The emission colour and the texture block are left out where they hold nothing; leaving them
// out loads the same zeros. The material array is always there, so no file is "no array".
void WriteMaterials(const CountedArray<Material>& materials, TextOut& out) {
  for (const Material& material : materials) {
    out << "material " << material.name << "\n(\n  " << kCounted << '\n';
    for (const Field<Material>& row : kMaterialFields) {
      if (row.keyword.empty() || row.name == "name" || !row.block.empty()) continue;
      if (row.name == "extraColor1" && IsDefault(material.extraColor1)) continue;
      WriteRow(row, material, out, "  ");
    }
    if (HasTexture(material)) {
      out << "  " << kTextureBlock << "\n  (\n";
      for (const Field<Material>& row : kMaterialFields) {
        if (row.block != kTextureBlock) continue;
        if (row.name == "textureName" && material.textureName.empty()) continue;
        WriteRow(row, material, out, "    ");
      }
      out << "  )\n";
    }
    out << ")\n";
    out.Spill();
  }
}

}  // namespace sceneio
