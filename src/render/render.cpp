// Turns the meshes, materials, lights and camera of an exported scene into raster calls.
#include "render/render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace sceneio {
namespace {

// The made-up view looks down on the scene from the front right, as the sample camera does.
constexpr double kFramingFrom[3] = {4, 3, 6};

struct DirectionalLight {
  Vector3 travel;  // unit direction the light travels in
  Color3 color;    // colour times intensity
};

// In double, as the export normalises: the squared length of a finite float vector, or the
// cross product of two edges of a large face, may overflow a float but not a double.
Vector3 Normalized(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0) || !std::isfinite(length)) return {};
  return {static_cast<float>(x / length), static_cast<float>(y / length),
          static_cast<float>(z / length)};
}
Vector3 Normalized(const Vector3& v) {
  return Normalized(v.x, v.y, v.z);
}

Vector3 FaceNormal(const Vector3& a, const Vector3& b, const Vector3& c) {
  const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
  const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
  return Normalized(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                    u[0] * v[1] - u[1] * v[0]);
}

// Lambert: each light adds its colour by the cosine between the normal and the way back to it.
Color3 Shade(const Vector3& normal, const Color3& base,
             const std::vector<DirectionalLight>& lights) {
  Color3 sum = {kAmbient, kAmbient, kAmbient};
  for (const DirectionalLight& light : lights) {
    const float facing =
        -(normal.x * light.travel.x + normal.y * light.travel.y + normal.z * light.travel.z);
    if (!(facing > 0)) continue;
    sum.r += facing * light.color.r;
    sum.g += facing * light.color.g;
    sum.b += facing * light.color.b;
  }
  return {base.r * sum.r, base.g * sum.g, base.b * sum.b};
}

float ToFloat(double value) {
  const double limit = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(value, -limit, limit));
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

Color3 BaseColorOf(const ExportScene& scene, const ExportMesh& mesh) {
  if (mesh.material < 0 || static_cast<size_t>(mesh.material) >= scene.materials.size()) {
    return kNoMaterialColor;
  }
  const auto& base = scene.materials[static_cast<size_t>(mesh.material)].baseColor;
  return {base[0], base[1], base[2]};
}

// Corners in view space, lit per corner when the file gives normals; a triangle without them
// is lit by its own face normal instead. `corners` is reused from mesh to mesh.
void DrawTriangles(Raster& raster, const ExportMesh& mesh, const Color3& base,
                   const std::vector<DirectionalLight>& lights, std::vector<ClipVertex>& corners) {
  const Body& body = *mesh.body;
  const int32_t positionCount = body.vertices.count;
  const int32_t normalCount = body.normals.count;
  const bool smooth = mesh.hasNormals;
  corners.resize(mesh.vertices.size());
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const WeldedVertex& corner = mesh.vertices[i];
    if (corner.position < 0 || corner.position >= positionCount) return;
    corners[i] = raster.Project(body.vertices.items[corner.position]);
    if (!smooth) continue;
    if (corner.normal < 0 || corner.normal >= normalCount) return;
    corners[i].color = Shade(Normalized(body.normals.items[corner.normal]), base, lights);
  }
  const size_t cornerCount = corners.size();
  const size_t triangles = mesh.indices.size() / 3;
  for (size_t t = 0; t < triangles; ++t) {
    const uint32_t* index = &mesh.indices[t * 3];
    if (index[0] >= cornerCount || index[1] >= cornerCount || index[2] >= cornerCount) continue;
    if (smooth) {
      raster.DrawTriangle(corners[index[0]], corners[index[1]], corners[index[2]]);
      continue;
    }
    ClipVertex a = corners[index[0]];
    ClipVertex b = corners[index[1]];
    ClipVertex c = corners[index[2]];
    const Vector3 normal = FaceNormal(body.vertices.items[mesh.vertices[index[0]].position],
                                      body.vertices.items[mesh.vertices[index[1]].position],
                                      body.vertices.items[mesh.vertices[index[2]].position]);
    a.color = b.color = c.color = Shade(normal, base, lights);
    raster.DrawTriangle(a, b, c);
  }
}

// Points are unlit, as glTF viewers draw them.
void DrawPoints(Raster& raster, const ExportMesh& mesh, const Color3& base) {
  for (const Vector3& p : mesh.body->vertices) {
    ClipVertex v = raster.Project(p);
    v.color = base;
    raster.DrawPoint(v, kPointSize);
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
    std::vector<DirectionalLight> lights;
    for (const ExportLight& light : scene.lights) {
      const Vector3 travel = Normalized(light.direction);
      if (travel.x == 0 && travel.y == 0 && travel.z == 0) continue;
      lights.push_back({travel,
                        {light.color.r * light.intensity, light.color.g * light.intensity,
                         light.color.b * light.intensity}});
    }
    if (lights.empty()) {
      lights.push_back({view.forward, {1, 1, 1}});
      notes.emplace_back("no usable light: the picture is lit from the eye");
    }

    Raster raster(view, kBackground);
    std::vector<ClipVertex> corners;
    for (const ExportMesh& mesh : scene.meshes) {
      if (mesh.body == nullptr) continue;
      const Color3 base = BaseColorOf(scene, mesh);
      if (mesh.kind == ExportMesh::Kind::kTriangles)
        DrawTriangles(raster, mesh, base, lights, corners);
      if (mesh.kind == ExportMesh::Kind::kPoints) DrawPoints(raster, mesh, base);
    }
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
