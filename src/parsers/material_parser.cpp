// Material file parser: counts the "GL_Shade" tokens, then fills one Material per block from
// "material" to ")", with an optional texture block inside.
#include <string_view>

#include "parsers/read_steps.h"
#include "sceneio/material.h"

namespace sceneio {
namespace {

constexpr Keyword<Material> kTextureKeywords[] = {
    {"name", ReadInto<&Material::textureName>},
    {"width", ReadInto<&Material::textureWidth>},
    {"height", ReadInto<&Material::textureHeight>},
    {"number-of-channels", ReadInto<&Material::textureChannels>},
    {"bits-per-channel", ReadInto<&Material::textureBitsPerChannel>},
};

// Parentheses do not nest: the block ends at its first ")" token, and since that ")" is read
// here, it never ends the material around it.
//   TEXTURE-MAP ( name x ( width 4 ) height 8 )   -> width 4; "height 8 )" belong to the material
void ReadTextureBlock(TokenReader& reader, Material& material, const ValueSite& site) {
  std::string_view current = site.keyword;  // "TEXTURE-MAP"
  ReadBlock(reader, current, ")", kTextureKeywords, material,
            {site.observer, "inside this texture block"});
}

constexpr Keyword<Material> kPropertyKeywords[] = {
    {"DIFFUSE-COLOR", ReadInto<&Material::diffuse>},
    {"SHININESS", ReadInto<&Material::shininess>},
    {"SPECULAR-COLOR", ReadInto<&Material::specular>},
    // A field of its own, so an emission colour can never overwrite the specular one.
    {"EMISSION-COLOR", ReadInto<&Material::extraColor1>},
    {"OPACITY", ReadInto<&Material::opacity>},
    {"TEXTURE-MAP", ReadTextureBlock},
};

// Every "GL_Shade" in the file counts, wherever it stands, so there may be more records than
// blocks to fill them; the extra ones keep their constructed values.
int32_t CountMaterials(TokenReader& reader) {
  int32_t count = 0;
  while (reader.Good()) {
    if (reader.Token() == "GL_Shade") ++count;
  }
  return count;
}

}  // namespace

int32_t ParseMaterials(const FileBuffer& file, CountedArray<Material>& materials,
                       ParseObserver* observer) {
  TokenReader counter(file);
  if (!materials.Allocate(CountMaterials(counter))) return kOutOfMemory;

  TokenReader reader(file);
  std::string_view current;
  for (Material& material : materials) {
    if (!SkipTo(reader, current, "material", {observer, "before the next material block"})) {
      return 0;
    }
    // The name is taken as it stands, quotes included, and never looked at as a keyword.
    reader.Token(material.name);
    // Whatever stands between the name and "GL_Shade" is passed over, properties included.
    if (!SkipTo(reader, current, "GL_Shade", {observer, "inside this material block"})) return 0;
    if (!ReadBlock(reader, current, ")", kPropertyKeywords, material,
                   {observer, "inside the properties of this material"})) {
      return 0;
    }
  }
  // Nothing after the last counted block's ")" is read.
  if (observer != nullptr) observer->Stopped(reader.Position(), {});
  return 0;
}

}  // namespace sceneio
