// Metallic-roughness shading of one point lit by directional lights, as glTF viewers compute it
// (three.js's standard and physical materials): a Lambert diffuse lobe and a GGX specular one
// with Smith visibility and Schlick's Fresnel, energy lost to single scattering given back, the
// emissive colour added; no ambient light, no tone mapping. Everything here is linear light.
#pragma once

#include <vector>

#include "render/texture.h"
#include "sceneio/types.h"

namespace sceneio {

struct ShadingLight {
  Vector3 toLight;  // unit direction from the surface towards the light
  Color3 radiance;  // colour times intensity
};

// A glTF material as the viewer builds it.
struct SurfaceMaterial {
  Color3 baseColor = {1, 1, 1};
  float opacity = 1;
  bool blend = false;  // drawn over what is behind, after every opaque surface
  float metalness = 0;
  float roughness = 1;
  Color3 specularColor = {0.04f, 0.04f, 0.04f};  // reflectance at normal incidence (dielectric)
  float specularF90 = 1;
  Color3 emissive;
  const Texture* texture = nullptr;  // base colour; nullptr when none
};

// The material a glTF viewer gives a primitive that names none: white, fully metallic, rough.
SurfaceMaterial DefaultSurfaceMaterial();

// The light leaving a point towards the eye. `base` is the base colour there (factor times
// texture); `normal` and `toEye` are unit vectors; `geometryRoughness` is how fast the normal
// turns from one pixel to the next, which widens the highlight on curved surfaces.
Color3 ShadeSurface(const SurfaceMaterial& material, const Color3& base, const Vector3& normal,
                    const Vector3& toEye, float geometryRoughness,
                    const std::vector<ShadingLight>& lights);

}  // namespace sceneio
