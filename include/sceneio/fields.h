// The fields of each record in record order: the name by which the dump and the bindings call
// it, the file's keyword that fills it (empty where none does) and the member. Adding a field to
// a record is one row here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "sceneio/body.h"
#include "sceneio/camera.h"
#include "sceneio/light.h"
#include "sceneio/material.h"
#include "sceneio/types.h"

namespace sceneio {

template <typename Record>
struct Field {
  std::string_view name;     // "viewAngle"
  std::string_view keyword;  // "view-angle"; empty when no keyword fills it
  std::string_view block;    // the keyword of the block the keyword stands in, if any
  std::variant<std::string Record::*, float Record::*, int32_t Record::*, uint32_t Record::*,
               uint8_t Record::*, Vector3 Record::*, Color3 Record::*, Vector2 Record::*,
               CountedArray<Vector3> Record::*, CountedArray<Vector2> Record::*,
               CountedArray<Face> Record::*, CountedArray<int32_t> Record::*, FacePartSet Record::*>
      member;
};

inline constexpr Field<Light> kLightFields[] = {
    {"name", "(name", "", &Light::name},
    {"brightness", "brightness", "", &Light::brightness},
    {"rgb", "rgb", "", &Light::rgb},
    {"direction", "direction", "", &Light::direction},
    {"extraVector1", "", "", &Light::extraVector1},
    {"extraVector2", "", "", &Light::extraVector2},
    {"extraFlag", "", "", &Light::extraFlag},
    {"extraString", "", "", &Light::extraString},
    {"extraInt", "", "", &Light::extraInt},
    {"extraPair", "", "", &Light::extraPair},
};

inline constexpr Field<Camera> kCameraFields[] = {
    {"name", "", "", &Camera::name},
    {"viewAngle", "view-angle", "", &Camera::viewAngle},
    {"hither", "hither", "", &Camera::hither},
    {"yon", "yon", "", &Camera::yon},
    {"location", "location", "", &Camera::location},
    {"aim", "aim", "", &Camera::aim},
    {"lookupVector", "lookup-vector", "", &Camera::lookupVector},
};

inline constexpr Field<Material> kMaterialFields[] = {
    {"name", "material", "", &Material::name},
    {"diffuse", "DIFFUSE-COLOR", "", &Material::diffuse},
    {"specular", "SPECULAR-COLOR", "", &Material::specular},
    {"extraColor1", "EMISSION-COLOR", "", &Material::extraColor1},
    {"opacity", "OPACITY", "", &Material::opacity},
    {"shininess", "SHININESS", "", &Material::shininess},
    {"extraColor2", "", "", &Material::extraColor2},
    {"textureName", "name", "TEXTURE-MAP", &Material::textureName},
    {"textureWidth", "width", "TEXTURE-MAP", &Material::textureWidth},
    {"textureHeight", "height", "TEXTURE-MAP", &Material::textureHeight},
    {"textureChannels", "number-of-channels", "TEXTURE-MAP", &Material::textureChannels},
    {"textureBitsPerChannel", "bits-per-channel", "TEXTURE-MAP", &Material::textureBitsPerChannel},
};

inline constexpr Field<Body> kBodyFields[] = {
    {"name", "body", "", &Body::name},
    {"vertices", "vertices[]", "", &Body::vertices},
    {"normals", "normals[]", "", &Body::normals},
    {"uvs", "uv-array[]", "", &Body::uvs},
    {"faceParts", "face-parts[]", "", &Body::faceParts},
    {"faces", "faces[]", "", &Body::faces},
};

inline constexpr Field<FacePartSet> kFacePartFields[] = {
    {"firstName", "", "face-parts[]", &FacePartSet::firstName},
    {"secondName", "", "face-parts[]", &FacePartSet::secondName},
    {"reserved", "", "", &FacePartSet::reserved},
    {"indices", "", "face-parts[]", &FacePartSet::indices},
};

}  // namespace sceneio
