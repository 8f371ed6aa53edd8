// The formulas are in float, as a fragment shader computes them, so the picture agrees with a
// viewer's to the byte wherever the two see the same normal.
#include "render/shading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace sceneio {
namespace {

constexpr float kReciprocalPi = 0.3183098861837907f;
constexpr float kEpsilon = 1e-6f;
constexpr float kMinRoughness = 0.045f;  // below it a point light's highlight would vanish

float Saturate(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}
float Dot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector3 Normalize(const Vector3& v) {
  const float length = std::sqrt(Dot(v, v));
  if (!(length > 0)) return v;
  return {v.x / length, v.y / length, v.z / length};
}

// Schlick's Fresnel in the exp2 form real-time renderers use.
Color3 FresnelSchlick(const Color3& f0, float f90, float dotVH) {
  const float fresnel = std::exp2((-5.55473f * dotVH - 6.98316f) * dotVH);
  return {f0.r * (1 - fresnel) + f90 * fresnel, f0.g * (1 - fresnel) + f90 * fresnel,
          f0.b * (1 - fresnel) + f90 * fresnel};
}

// Smith's height-correlated visibility for GGX, with the 1 / (4 NL NV) folded in.
float VisibilitySmithCorrelated(float alpha, float dotNL, float dotNV) {
  const float a2 = alpha * alpha;
  const float gv = dotNL * std::sqrt(a2 + (1 - a2) * dotNV * dotNV);
  const float gl = dotNV * std::sqrt(a2 + (1 - a2) * dotNL * dotNL);
  return 0.5f / std::max(gv + gl, kEpsilon);
}

float DistributionGgx(float alpha, float dotNH) {
  const float a2 = alpha * alpha;
  const float denominator = dotNH * dotNH * (a2 - 1) + 1;
  return kReciprocalPi * a2 / (denominator * denominator);
}

// The directional albedo of the GGX lobe split as F0 * scale + F90 * bias (the "DFG" terms),
// over a 16 x 16 grid of roughness by cosine, each entry the mean of importance-sampled GGX
// directions. The sum scale + bias is the energy a single scattering keeps; what it loses is
// given back to direct light in proportion to F0.
constexpr int kDfgSide = 16;
constexpr int kDfgSamples = 1024;

struct DfgTable {
  std::array<float, kDfgSide * kDfgSide * 2>
      values{};  // [cosine row][roughness column]{scale, bias}
};

double RadicalInverse(uint32_t bits) {
  bits = (bits << 16u) | (bits >> 16u);
  bits = ((bits & 0x55555555u) << 1u) | ((bits & 0xAAAAAAAAu) >> 1u);
  bits = ((bits & 0x33333333u) << 2u) | ((bits & 0xCCCCCCCCu) >> 2u);
  bits = ((bits & 0x0F0F0F0Fu) << 4u) | ((bits & 0xF0F0F0F0u) >> 4u);
  bits = ((bits & 0x00FF00FFu) << 8u) | ((bits & 0xFF00FF00u) >> 8u);
  return bits * 2.3283064365386963e-10;
}

DfgTable ComputeDfg() {
  DfgTable table;
  const double pi = 3.14159265358979323846;
  for (int row = 0; row < kDfgSide; ++row) {
    const double dotNV = (row + 0.5) / kDfgSide;
    const double view[3] = {std::sqrt(1 - dotNV * dotNV), 0, dotNV};
    for (int column = 0; column < kDfgSide; ++column) {
      const double roughness = (column + 0.5) / kDfgSide;
      const double alpha = roughness * roughness;
      const double a2 = alpha * alpha;
      double scale = 0;
      double bias = 0;
      for (int i = 0; i < kDfgSamples; ++i) {
        const double phi = 2 * pi * (i + 0.5) / kDfgSamples;
        const double xi = RadicalInverse(static_cast<uint32_t>(i));
        const double cosTheta = std::sqrt((1 - xi) / (1 + (a2 - 1) * xi));
        const double sinTheta = std::sqrt(std::max(0.0, 1 - cosTheta * cosTheta));
        const double half[3] = {sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta};
        const double dotVH = view[0] * half[0] + view[1] * half[1] + view[2] * half[2];
        const double dotNL = 2 * dotVH * half[2] - view[2];
        if (!(dotNL > 0) || !(dotVH > 0)) continue;
        const double gv = dotNL * std::sqrt(a2 + (1 - a2) * dotNV * dotNV);
        const double gl = dotNV * std::sqrt(a2 + (1 - a2) * dotNL * dotNL);
        const double visibility = 0.5 / (gv + gl);
        const double weight = visibility * 4 * dotNL * dotVH / half[2];
        const double fc = std::pow(1 - dotVH, 5);
        scale += (1 - fc) * weight;
        bias += fc * weight;
      }
      float* entry = &table.values[static_cast<size_t>(row * kDfgSide + column) * 2];
      entry[0] = static_cast<float>(scale / kDfgSamples);
      entry[1] = static_cast<float>(bias / kDfgSamples);
    }
  }
  return table;
}

// Bilinear between the grid's centres, clamped at its edges, as a texture lookup would be.
std::array<float, 2> LookUpDfg(float roughness, float dotNV) {
  static const DfgTable table = ComputeDfg();
  const auto axis = [](float at, int& low, float& fraction) {
    const float x = std::clamp(at * kDfgSide - 0.5f, 0.0f, static_cast<float>(kDfgSide - 1));
    low = std::min(static_cast<int>(x), kDfgSide - 2);
    fraction = x - static_cast<float>(low);
  };
  int column = 0;
  int row = 0;
  float fx = 0;
  float fy = 0;
  axis(roughness, column, fx);
  axis(dotNV, row, fy);
  std::array<float, 2> out{};
  for (int k = 0; k < 2; ++k) {
    const auto at = [&](int r, int c) {
      return table.values[static_cast<size_t>(r * kDfgSide + c) * 2 + static_cast<size_t>(k)];
    };
    const float top = at(row, column) + (at(row, column + 1) - at(row, column)) * fx;
    const float bottom = at(row + 1, column) + (at(row + 1, column + 1) - at(row + 1, column)) * fx;
    out[static_cast<size_t>(k)] = top + (bottom - top) * fy;
  }
  return out;
}

Color3 Mix(const Color3& a, const Color3& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

}  // namespace

SurfaceMaterial DefaultSurfaceMaterial() {
  SurfaceMaterial material;
  material.metalness = 1;
  material.roughness = 1;
  return material;
}

Color3 ShadeSurface(const SurfaceMaterial& material, const Color3& base, const Vector3& normal,
                    const Vector3& toEye, float geometryRoughness,
                    const std::vector<ShadingLight>& lights) {
  const float metalness = material.metalness;
  const Color3 diffuse = {base.r * (1 - metalness), base.g * (1 - metalness),
                          base.b * (1 - metalness)};
  float roughness = std::max(material.roughness, kMinRoughness) + geometryRoughness;
  roughness = std::min(roughness, 1.0f);
  const Color3 f0 = material.specularColor;
  const Color3 f0Blended = Mix(f0, base, metalness);
  const float f90 = material.specularF90;

  const float dotNV = Saturate(Dot(normal, toEye));
  const std::array<float, 2> dfg = LookUpDfg(roughness, dotNV);
  const float singleScattering = dfg[0] + dfg[1];
  const Color3 compensation = {1 + f0Blended.r * (1 / singleScattering - 1),
                               1 + f0Blended.g * (1 / singleScattering - 1),
                               1 + f0Blended.b * (1 / singleScattering - 1)};
  const float alpha = std::max(roughness, kMinRoughness) * std::max(roughness, kMinRoughness);

  Color3 sum = material.emissive;
  for (const ShadingLight& light : lights) {
    const float dotNL = Saturate(Dot(normal, light.toLight));
    if (!(dotNL > 0)) continue;
    const Vector3 half = Normalize(
        {light.toLight.x + toEye.x, light.toLight.y + toEye.y, light.toLight.z + toEye.z});
    const float dotNH = Saturate(Dot(normal, half));
    const float dotVH = Saturate(Dot(toEye, half));
    const Color3 fSpecular = FresnelSchlick(f0Blended, f90, dotVH);
    const float vd = VisibilitySmithCorrelated(alpha, dotNL, dotNV) * DistributionGgx(alpha, dotNH);
    const Color3 fDiffuse = FresnelSchlick(f0, f90, dotVH);
    const Color3 irradiance = {light.radiance.r * dotNL, light.radiance.g * dotNL,
                               light.radiance.b * dotNL};
    sum.r += irradiance.r *
             (fSpecular.r * vd * compensation.r + kReciprocalPi * diffuse.r * (1 - fDiffuse.r));
    sum.g += irradiance.g *
             (fSpecular.g * vd * compensation.g + kReciprocalPi * diffuse.g * (1 - fDiffuse.g));
    sum.b += irradiance.b *
             (fSpecular.b * vd * compensation.b + kReciprocalPi * diffuse.b * (1 - fDiffuse.b));
  }
  return sum;
}

}  // namespace sceneio
