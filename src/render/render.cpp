// Turns the meshes, materials, lights and camera of an exported scene into raster calls.
#include "render/render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "export/unit_vector.h"
#include "render/shading.h"
#include "render/texture.h"

namespace sceneio {
namespace {

// The made-up view looks down on the scene from the front right, as the sample camera does.
constexpr double kFramingFrom[3] = {4, 3, 6};

float ToFloat(double value) {
  const double limit = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(value, -limit, limit));
}

struct Vec3d {
  double x = 0, y = 0, z = 0;
};
Vec3d ToDouble(const Vector3& v) {
  return {v.x, v.y, v.z};
}
Vec3d Minus(const Vec3d& a, const Vec3d& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3d Cross(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3d& a, const Vec3d& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The positions a mesh draws: its welded corners' positions, or all of a point body's vertices.
// Calls `visit` with each; false when an index lies outside the body's array.
template <typename Visit>
bool ForEachPosition(const ExportMesh& mesh, Visit visit) {
  if (mesh.body == nullptr || mesh.kind == ExportMesh::Kind::kEmpty) return true;
  const CountedArray<Vector3>& positions = mesh.body->vertices;
  if (mesh.kind == ExportMesh::Kind::kPoints) {
    for (const Vector3& p : positions) visit(p);
    return true;
  }
  for (const WeldedVertex& corner : mesh.vertices) {
    if (corner.position < 0 || corner.position >= positions.count) return false;
    visit(positions.items[corner.position]);
  }
  return true;
}

// The material of the viewer for each exported one, and the textures they sample.
struct Materials {
  std::vector<SurfaceMaterial> surfaces;  // per ExportMaterial
  std::vector<std::unique_ptr<Texture>> textures;
  SurfaceMaterial fallback = DefaultSurfaceMaterial();
};

void PrepareMaterials(const ExportScene& scene, Materials& out, std::vector<std::string>& notes) {
  std::vector<std::pair<std::string, const Texture*>> loaded;
  for (const ExportMaterial& material : scene.materials) {
    SurfaceMaterial surface;
    surface.baseColor = {material.baseColor[0], material.baseColor[1], material.baseColor[2]};
    surface.opacity = material.baseColor[3];
    surface.blend = material.blend;
    surface.metalness = 0;
    surface.roughness = material.roughness;
    surface.emissive = material.emissive;
    // The specular colour scales the reflectance of a dielectric of index 1.5 (0.04).
    if (material.specular) {
      const Color3& s = *material.specular;
      surface.specularColor = {std::min(0.04f * s.r, 1.0f), std::min(0.04f * s.g, 1.0f),
                               std::min(0.04f * s.b, 1.0f)};
    }
    if (!material.texturePath.empty()) {
      const auto seen = std::find_if(loaded.begin(), loaded.end(), [&](const auto& entry) {
        return entry.first == material.texturePath;
      });
      if (seen != loaded.end()) {
        surface.texture = seen->second;
      } else {
        auto texture = std::make_unique<Texture>();
        std::string why;
        if (LoadTexture(material.texturePath, material.textureMime, *texture, why)) {
          surface.texture = texture.get();
          out.textures.push_back(std::move(texture));
        } else {
          notes.push_back("texture \"" + material.textureName + "\" of material \"" +
                          material.name + "\" " + why + ": drawn without it");
        }
        loaded.emplace_back(material.texturePath, surface.texture);
      }
    }
    out.surfaces.push_back(surface);
  }
}

// A mesh as drawn: its material, and where its triangles' ids start.
struct DrawnMesh {
  const ExportMesh* mesh = nullptr;
  const SurfaceMaterial* material = nullptr;
  bool textured = false;
  uint32_t firstId = 0;
};

// Where each pixel's ray goes, and the shading of the surface it meets.
class Shader {
 public:
  Shader(const View& view, const std::vector<ShadingLight>& lights)
      : lights_(lights), width_(view.width), height_(view.height) {
    eye_ = ToDouble(view.eye);
    forward_ = ToDouble(view.forward);
    up_ = ToDouble(view.up);
    right_ = Cross(forward_, up_);
    const double halfTan = std::tan(0.5 * static_cast<double>(view.yfov));
    halfY_ = halfTan;
    halfX_ = halfTan * view.width / view.height;
  }

  // Linear colour and alpha of `triangle` of `drawn` at the centre of pixel (px, py).
  std::array<float, 4> At(const DrawnMesh& drawn, size_t triangle, int32_t px, int32_t py) const {
    const ExportMesh& mesh = *drawn.mesh;
    const Body& body = *mesh.body;
    const uint32_t* index = &mesh.indices[triangle * 3];
    const WeldedVertex* corner[3] = {&mesh.vertices[index[0]], &mesh.vertices[index[1]],
                                     &mesh.vertices[index[2]]};
    const Vec3d p0 = ToDouble(body.vertices.items[corner[0]->position]);
    const Vec3d e1 = Minus(ToDouble(body.vertices.items[corner[1]->position]), p0);
    const Vec3d e2 = Minus(ToDouble(body.vertices.items[corner[2]->position]), p0);
    const Vec3d toCorner = Minus(eye_, p0);

    // Barycentric weights of corners 1 and 2 where the ray through screen point (sx, sy) meets
    // the triangle's plane: exact, so perspective-correct, wherever the triangle was clipped.
    const auto weights = [&](double sx, double sy, double& b1, double& b2) {
      const Vec3d ray = Ray(sx, sy);
      const Vec3d p = Cross(ray, e2);
      const double det = Dot(e1, p);
      if (!(std::abs(det) > 0) || !std::isfinite(det)) {
        b1 = b2 = 1.0 / 3;
        return;
      }
      const Vec3d q = Cross(toCorner, e1);
      b1 = Dot(toCorner, p) / det;
      b2 = Dot(ray, q) / det;
      if (!std::isfinite(b1) || !std::isfinite(b2)) b1 = b2 = 1.0 / 3;
    };
    const bool smooth = mesh.hasNormals;
    Vector3 normals[3];
    if (smooth) {
      for (int k = 0; k < 3; ++k) normals[k] = UnitVector(body.normals.items[corner[k]->normal]);
    }
    const auto normalAt = [&](double b1, double b2) {
      const double b0 = 1 - b1 - b2;
      return UnitVector(b0 * normals[0].x + b1 * normals[1].x + b2 * normals[2].x,
                        b0 * normals[0].y + b1 * normals[1].y + b2 * normals[2].y,
                        b0 * normals[0].z + b1 * normals[1].z + b2 * normals[2].z);
    };
    const Vector2* uvs[3] = {};
    if (drawn.textured) {
      for (int k = 0; k < 3; ++k) uvs[k] = &body.uvs.items[corner[k]->uv];
    }
    const auto uvAt = [&](double b1, double b2) {
      const double b0 = 1 - b1 - b2;
      return std::array<double, 2>{b0 * uvs[0]->u + b1 * uvs[1]->u + b2 * uvs[2]->u,
                                   b0 * uvs[0]->v + b1 * uvs[1]->v + b2 * uvs[2]->v};
    };

    const double sx = px + 0.5;
    const double sy = py + 0.5;
    double b1 = 0;
    double b2 = 0;
    weights(sx, sy, b1, b2);
    const Vec3d ray = Ray(sx, sy);
    const Vector3 toEye = UnitVector(-ray.x, -ray.y, -ray.z);

    // A GPU takes derivatives across each 2 x 2 block of pixels: the same here, on the
    // triangle's plane extended where a neighbour lies off the triangle.
    const double left = (px & ~1) + 0.5;
    const double top = (py & ~1) + 0.5;
    double w[4][2] = {};
    const bool needDerivatives = smooth || drawn.textured;
    if (needDerivatives) {
      weights(left, sy, w[0][0], w[0][1]);
      weights(left + 1, sy, w[1][0], w[1][1]);
      weights(sx, top, w[2][0], w[2][1]);
      weights(sx, top + 1, w[3][0], w[3][1]);
    }

    Vector3 normal;
    float geometryRoughness = 0;
    if (smooth) {
      normal = normalAt(b1, b2);
      if (normal.x == 0 && normal.y == 0 && normal.z == 0) normal = FaceNormal(e1, e2);
      const Vector3 n[4] = {normalAt(w[0][0], w[0][1]), normalAt(w[1][0], w[1][1]),
                            normalAt(w[2][0], w[2][1]), normalAt(w[3][0], w[3][1])};
      const Vec3d dx = {double(n[1].x) - n[0].x, double(n[1].y) - n[0].y, double(n[1].z) - n[0].z};
      const Vec3d dy = {double(n[3].x) - n[2].x, double(n[3].y) - n[2].y, double(n[3].z) - n[2].z};
      // In the camera's axes, as the viewer's normals are.
      const Vec3d axes[3] = {right_, up_, forward_};
      for (const Vec3d& axis : axes) {
        const double change = std::max(std::abs(Dot(dx, axis)), std::abs(Dot(dy, axis)));
        geometryRoughness = std::max(geometryRoughness, static_cast<float>(change));
      }
    } else {
      normal = FaceNormal(e1, e2);
    }

    const SurfaceMaterial& material = *drawn.material;
    std::array<float, 4> texel = {1, 1, 1, 1};
    if (drawn.textured) {
      const std::array<double, 2> uv = uvAt(b1, b2);
      const std::array<double, 2> uvLeft = uvAt(w[0][0], w[0][1]);
      const std::array<double, 2> uvRight = uvAt(w[1][0], w[1][1]);
      const std::array<double, 2> uvTop = uvAt(w[2][0], w[2][1]);
      const std::array<double, 2> uvBottom = uvAt(w[3][0], w[3][1]);
      texel = SampleTexture(
          *material.texture, static_cast<float>(uv[0]), static_cast<float>(uv[1]),
          static_cast<float>(uvRight[0] - uvLeft[0]), static_cast<float>(uvRight[1] - uvLeft[1]),
          static_cast<float>(uvBottom[0] - uvTop[0]), static_cast<float>(uvBottom[1] - uvTop[1]));
    }
    const Color3 base = {material.baseColor.r * texel[0], material.baseColor.g * texel[1],
                         material.baseColor.b * texel[2]};
    const Color3 light = ShadeSurface(material, base, normal, toEye, geometryRoughness, lights_);
    return {light.r, light.g, light.b, material.blend ? material.opacity * texel[3] : 1.0f};
  }

  int32_t width() const { return width_; }

 private:
  // Direction (not unit) of the ray through screen point (sx, sy), in pixels from the top left.
  Vec3d Ray(double sx, double sy) const {
    const double nx = (2 * sx / width_ - 1) * halfX_;
    const double ny = (1 - 2 * sy / height_) * halfY_;
    return {forward_.x + right_.x * nx + up_.x * ny, forward_.y + right_.y * nx + up_.y * ny,
            forward_.z + right_.z * nx + up_.z * ny};
  }

  static Vector3 FaceNormal(const Vec3d& e1, const Vec3d& e2) {
    const Vec3d n = Cross(e1, e2);
    return UnitVector(n.x, n.y, n.z);
  }

  const std::vector<ShadingLight>& lights_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  Vec3d eye_, forward_, up_, right_;
  double halfX_ = 1;
  double halfY_ = 1;
};

// The corners of a triangle mesh projected, or false when an index lies outside its arrays
// (the export checks them; a hand-made model may not be).
bool ProjectCorners(const Raster& raster, const ExportMesh& mesh, bool textured,
                    std::vector<ClipVertex>& corners) {
  const Body& body = *mesh.body;
  corners.resize(mesh.vertices.size());
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const WeldedVertex& corner = mesh.vertices[i];
    if (corner.position < 0 || corner.position >= body.vertices.count) return false;
    if (mesh.hasNormals && (corner.normal < 0 || corner.normal >= body.normals.count)) return false;
    if (textured && (corner.uv < 0 || corner.uv >= body.uvs.count)) return false;
    corners[i] = raster.Project(body.vertices.items[corner.position]);
  }
  return true;
}

template <typename Draw>
void ForEachTriangle(const ExportMesh& mesh, const std::vector<ClipVertex>& corners, Draw draw) {
  const size_t cornerCount = corners.size();
  const size_t triangles = mesh.indices.size() / 3;
  for (size_t t = 0; t < triangles; ++t) {
    const uint32_t* index = &mesh.indices[t * 3];
    if (index[0] >= cornerCount || index[1] >= cornerCount || index[2] >= cornerCount) continue;
    draw(t, corners[index[0]], corners[index[1]], corners[index[2]]);
  }
}

// One transparent triangle's pixels, shaded and blended over the 8-bit picture as the browser's
// blending does it: the fragment's sRGB value weighted by its alpha.
struct BlendContext {
  Raster* raster;
  const Shader* shader;
  const DrawnMesh* drawn;
  size_t triangle;
};

void BlendFragment(void* context, int64_t index) {
  const BlendContext& c = *static_cast<const BlendContext*>(context);
  const int32_t width = c.shader->width();
  const auto px = static_cast<int32_t>(index % width);
  const auto py = static_cast<int32_t>(index / width);
  const std::array<float, 4> shaded = c.shader->At(*c.drawn, c.triangle, px, py);
  const float alpha = std::clamp(shaded[3], 0.0f, 1.0f);
  const uint8_t* behind = &c.raster->pixels()[static_cast<size_t>(index) * 3];
  Rgb8 out;
  for (int k = 0; k < 3; ++k) {
    const float over = LinearToSrgb(shaded[static_cast<size_t>(k)]) * alpha +
                       behind[k] * (1.0f / 255) * (1 - alpha);
    out[static_cast<size_t>(k)] = static_cast<uint8_t>(std::lround(over * 255));
  }
  c.raster->SetPixel(index, out);
}

// Points are unlit, as glTF viewers draw them.
void DrawPoints(Raster& raster, const ExportMesh& mesh, const Color3& color) {
  for (const Vector3& p : mesh.body->vertices) {
    ClipVertex v = raster.Project(p);
    v.color = color;
    raster.DrawPoint(v, kPointSize);
  }
}

// Opaque surfaces by id, points, then each pixel's colour once; then the transparent meshes
// from the farthest to the nearest (by the depth of their bounding box's centre, as three.js
// orders them), blended without writing depth.
void DrawScene(const ExportScene& scene, const View& view, const std::vector<ShadingLight>& lights,
               const Materials& materials, Raster& raster) {
  std::vector<DrawnMesh> opaque;
  std::vector<std::pair<double, DrawnMesh>> seeThrough;
  std::vector<ClipVertex> corners;
  uint64_t nextId = 0;
  for (const ExportMesh& mesh : scene.meshes) {
    if (mesh.body == nullptr) continue;
    const bool known =
        mesh.material >= 0 && static_cast<size_t>(mesh.material) < materials.surfaces.size();
    const SurfaceMaterial& material =
        known ? materials.surfaces[static_cast<size_t>(mesh.material)] : materials.fallback;
    if (mesh.kind == ExportMesh::Kind::kPoints) DrawPoints(raster, mesh, material.baseColor);
    if (mesh.kind != ExportMesh::Kind::kTriangles) continue;
    DrawnMesh drawn{&mesh, &material, material.texture != nullptr && mesh.hasUvs, 0};
    if (!ProjectCorners(raster, mesh, drawn.textured, corners)) continue;
    if (material.blend) {
      const Vec3d centre = {0.5 * (double(mesh.min.x) + mesh.max.x),
                            0.5 * (double(mesh.min.y) + mesh.max.y),
                            0.5 * (double(mesh.min.z) + mesh.max.z)};
      seeThrough.emplace_back(Dot(Minus(centre, ToDouble(view.eye)), ToDouble(view.forward)),
                              drawn);
      continue;
    }
    const uint64_t count = mesh.indices.size() / 3;
    if (nextId + count >= Raster::kNoId) continue;  // more triangles than ids: not drawn
    drawn.firstId = static_cast<uint32_t>(nextId);
    nextId += count;
    opaque.push_back(drawn);
    ForEachTriangle(mesh, corners,
                    [&](size_t t, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
                      raster.DrawTriangleId(a, b, c, drawn.firstId + static_cast<uint32_t>(t));
                    });
  }

  const Shader shader(view, lights);
  const std::vector<uint32_t>& ids = raster.ids();
  const int32_t width = raster.width();
  size_t last = 0;  // the mesh of the previous pixel: neighbours mostly share one
  for (size_t index = 0; index < ids.size(); ++index) {
    const uint32_t id = ids[index];
    if (id == Raster::kNoId) continue;
    if (!(id >= opaque[last].firstId &&
          (last + 1 == opaque.size() || id < opaque[last + 1].firstId))) {
      last = static_cast<size_t>(
          std::upper_bound(opaque.begin(), opaque.end(), id,
                           [](uint32_t value, const DrawnMesh& m) { return value < m.firstId; }) -
          opaque.begin() - 1);
    }
    const DrawnMesh& drawn = opaque[last];
    const std::array<float, 4> shaded =
        shader.At(drawn, id - drawn.firstId, static_cast<int32_t>(index % width),
                  static_cast<int32_t>(index / width));
    raster.SetPixel(
        static_cast<int64_t>(index),
        {LinearToSrgbByte(shaded[0]), LinearToSrgbByte(shaded[1]), LinearToSrgbByte(shaded[2])});
  }

  std::stable_sort(seeThrough.begin(), seeThrough.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& entry : seeThrough) {
    const DrawnMesh& drawn = entry.second;
    if (!ProjectCorners(raster, *drawn.mesh, drawn.textured, corners)) continue;
    ForEachTriangle(*drawn.mesh, corners,
                    [&](size_t t, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
                      BlendContext context{&raster, &shader, &drawn, t};
                      raster.DrawTriangleFragments(a, b, c, &BlendFragment, &context);
                    });
  }
}

}  // namespace

bool ParsePictureSize(std::string_view text, int32_t& width, int32_t& height) {
  int32_t sides[2] = {0, 0};
  size_t at = 0;
  for (int k = 0; k < 2; ++k) {
    if (k == 1) {
      if (at == text.size() || text[at] != 'x') return false;
      ++at;
    }
    const size_t start = at;
    int64_t value = 0;
    // Six digits at most: a longer side is out of range anyway, and the value cannot overflow.
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6) {
      value = value * 10 + (text[at] - '0');
      ++at;
    }
    if (at == start || value < kMinPictureSide || value > kMaxPictureSide) return false;
    sides[k] = static_cast<int32_t>(value);
  }
  if (at != text.size()) return false;
  width = sides[0];
  height = sides[1];
  return true;
}

View CameraView(const ExportCamera& camera, int32_t width, int32_t height) {
  View view;
  view.eye = camera.placement.translation;
  view.forward = camera.forward;
  view.up = camera.up;
  view.yfov = camera.yfov;
  view.znear = camera.znear;
  view.zfar = camera.zfar;
  view.width = width;
  view.height = height;
  return view;
}

View FramingView(const ExportScene& scene, int32_t width, int32_t height) {
  double low[3] = {0, 0, 0};
  double high[3] = {0, 0, 0};
  bool any = false;
  for (const ExportMesh& mesh : scene.meshes) {
    ForEachPosition(mesh, [&](const Vector3& p) {
      const double at[3] = {p.x, p.y, p.z};
      for (int k = 0; k < 3; ++k) {
        low[k] = any ? std::min(low[k], at[k]) : at[k];
        high[k] = any ? std::max(high[k], at[k]) : at[k];
      }
      any = true;
    });
  }
  double center[3];
  double radius = 0;
  for (int k = 0; k < 3; ++k) {
    center[k] = 0.5 * (low[k] + high[k]);
    radius += (high[k] - low[k]) * (high[k] - low[k]);
  }
  radius = 0.5 * std::sqrt(radius);
  // A single point (or nothing) still needs a size to be seen at.
  if (!(radius > 0))
    radius = std::max({1.0, std::abs(center[0]), std::abs(center[1]), std::abs(center[2])}) * 1e-3;

  View view;
  view.width = width;
  view.height = height;
  view.yfov = static_cast<float>(45.0 * 3.14159265358979323846 / 180.0);
  const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
  const double halfY = 0.5 * view.yfov;
  const double halfX = std::atan(std::tan(halfY) * aspect);
  const double distance = radius / std::sin(std::min(halfX, halfY)) * 1.05;

  const double fromLength =
      std::sqrt(kFramingFrom[0] * kFramingFrom[0] + kFramingFrom[1] * kFramingFrom[1] +
                kFramingFrom[2] * kFramingFrom[2]);
  double forward[3];
  for (int k = 0; k < 3; ++k) forward[k] = -kFramingFrom[k] / fromLength;
  // Up is world +y made square to the view direction.
  double up[3] = {-forward[1] * forward[0], 1 - forward[1] * forward[1], -forward[1] * forward[2]};
  const double upLength = std::sqrt(up[0] * up[0] + up[1] * up[1] + up[2] * up[2]);
  for (double& u : up) u /= upLength;

  view.eye = {ToFloat(center[0] - forward[0] * distance),
              ToFloat(center[1] - forward[1] * distance),
              ToFloat(center[2] - forward[2] * distance)};
  view.forward = {static_cast<float>(forward[0]), static_cast<float>(forward[1]),
                  static_cast<float>(forward[2])};
  view.up = {static_cast<float>(up[0]), static_cast<float>(up[1]), static_cast<float>(up[2])};
  view.znear = ToFloat(std::max((distance - radius) * 0.5, distance * 1e-4));
  view.zfar = ToFloat((distance + radius) * 1.5);
  return view;
}

Status RenderScene(const ExportScene& scene, int32_t width, int32_t height, Picture& picture) {
  Status status;
  if (width <= 0 || height <= 0) {
    return status.Fail(StatusCode::kBadOptions, "the picture needs a positive width and height");
  }
  std::vector<std::string>& notes = status.notes;
  try {
    View view;
    if (scene.camera) {
      view = CameraView(*scene.camera, width, height);
    } else {
      view = FramingView(scene, width, height);
      char note[160];
      std::snprintf(note, sizeof note,
                    "no usable camera: the view frames the bounding box of all geometry, "
                    "looking along (%.3g, %.3g, %.3g)",
                    view.forward.x, view.forward.y, view.forward.z);
      notes.emplace_back(note);
    }
    std::vector<ShadingLight> lights;
    for (const ExportLight& light : scene.lights) {
      const Vector3 travel = UnitVector(light.direction);
      if (travel.x == 0 && travel.y == 0 && travel.z == 0) continue;
      lights.push_back({{-travel.x, -travel.y, -travel.z},
                        {light.color.r * light.intensity, light.color.g * light.intensity,
                         light.color.b * light.intensity}});
    }
    if (lights.empty()) {
      lights.push_back({{-view.forward.x, -view.forward.y, -view.forward.z},
                        {kEyeLightIntensity, kEyeLightIntensity, kEyeLightIntensity}});
      notes.emplace_back("no usable light: the picture is lit from the eye");
    }
    Materials materials;
    PrepareMaterials(scene, materials, notes);

    Raster raster(view, kBackground);
    DrawScene(scene, view, lights, materials, raster);
    picture.width = width;
    picture.height = height;
    picture.rgb = std::move(raster.pixels());
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory for a " + std::to_string(width) + "x" +
                                              std::to_string(height) + " picture");
  }
  return status;
}

}  // namespace sceneio
