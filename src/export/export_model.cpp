// Maps a loaded scene onto what a glTF file (or a picture) shows: welded triangles, checked
// indices and values, UTF-8 names, materials, lights and the camera.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "export/weld.h"
#include "io/names.h"
#include "io/texture_file.h"
#include "sceneio/export.h"

namespace sceneio {
namespace {

// In the order of TripleRole's values.
constexpr std::string_view kRoleWords[] = {"position", "normal", "uv", "none"};
constexpr std::string_view kTripleWords[] = {"first", "second", "third"};
using Triple = int32_t[3];
constexpr Triple Face::*kTriples[3] = {&Face::triple1, &Face::triple2, &Face::triple3};

std::string Quoted(std::string_view raw) {
  return "\"" + ShownName(raw) + "\"";
}

// The shortest text that reads back as the same float.
std::string FloatText(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string VectorText(const Vector3& v) {
  return FloatText(v.x) + " " + FloatText(v.y) + " " + FloatText(v.z);
}

bool Finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
bool Finite(const Vector2& v) {
  return std::isfinite(v.u) && std::isfinite(v.v);
}

// NaN and -inf become 0, +inf becomes 1.
float Unit(float value) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, 0.0f, 1.0f);
}
Color3 UnitColor(const Color3& c) {
  return {Unit(c.r), Unit(c.g), Unit(c.b)};
}

// A quarter turn about X that takes +Z to +Y (and +Y to -Z).
Vector3 TurnZUp(const Vector3& v) {
  return {v.x, v.z, -v.y};
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
double Length(const Vec3d& a) {
  return std::sqrt(Dot(a, a));
}
Vec3d Scaled(const Vec3d& a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
Vector3 ToFloat(const Vec3d& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

std::array<float, 4> QuaternionOf(double x, double y, double z, double w) {
  const double n = std::sqrt(x * x + y * y + z * z + w * w);
  return {static_cast<float>(x / n), static_cast<float>(y / n), static_cast<float>(z / n),
          static_cast<float>(w / n)};
}

// The shortest turn of -Z onto the unit vector d: half-way quaternion (1 + a.b, a x b) with
// a = -Z. For d = +Z any half turn will do; one about Y keeps +Y up.
std::array<float, 4> TurnMinusZOnto(const Vec3d& d) {
  const double w = 1 - d.z;
  if (w < 1e-12) return {0, 1, 0, 0};
  return QuaternionOf(d.y, -d.x, 0, w);
}

// The rotation whose matrix has the columns x, y, z (orthonormal, right-handed).
std::array<float, 4> QuaternionOfBasis(const Vec3d& x, const Vec3d& y, const Vec3d& z) {
  const double trace = x.x + y.y + z.z;
  if (trace > 0) {
    const double s = std::sqrt(trace + 1) * 2;
    return QuaternionOf((y.z - z.y) / s, (z.x - x.z) / s, (x.y - y.x) / s, s / 4);
  }
  if (x.x > y.y && x.x > z.z) {
    const double s = std::sqrt(1 + x.x - y.y - z.z) * 2;
    return QuaternionOf(s / 4, (y.x + x.y) / s, (z.x + x.z) / s, (y.z - z.y) / s);
  }
  if (y.y > z.z) {
    const double s = std::sqrt(1 + y.y - x.x - z.z) * 2;
    return QuaternionOf((y.x + x.y) / s, s / 4, (z.y + y.z) / s, (z.x - x.z) / s);
  }
  const double s = std::sqrt(1 + z.z - x.x - y.y) * 2;
  return QuaternionOf((z.x + x.z) / s, (z.y + y.z) / s, s / 4, (x.y - y.x) / s);
}

std::string FacesText(const ExportOptions& options) {
  return FaceRolesText(options.faces);
}

bool CheckOptions(const ExportOptions& options, Status& result) {
  for (const TripleRole role : options.faces) {
    if (static_cast<size_t>(role) >= std::size(kRoleWords)) {
      result.Fail(StatusCode::kBadOptions, "faces holds an unknown role");
      return false;
    }
  }
  if (const std::string_view problem = FaceRolesProblem(options.faces); !problem.empty()) {
    result.Fail(StatusCode::kBadOptions,
                "faces " + FacesText(options) + ": " + std::string(problem));
    return false;
  }
  if (options.indexBase != 0 && options.indexBase != 1) {
    result.Fail(StatusCode::kBadOptions,
                "indexBase must be 0 or 1, not " + std::to_string(options.indexBase));
    return false;
  }
  return true;
}

// One array a face's triple can index: its values' count and the words a message uses.
struct IndexedArray {
  int32_t count = 0;
  bool looked = false;  // the role is mapped and the array holds elements
  int triple = -1;      // which of the face's triples indexes it
  std::string_view role;
  std::string_view one;
  std::string_view many;
};

IndexedArray ArrayFor(const ExportOptions& options, TripleRole role, int32_t count) {
  IndexedArray array;
  array.count = count;
  array.role = kRoleWords[static_cast<int>(role)];
  switch (role) {
    case TripleRole::kPosition:
      array.one = "vertex", array.many = "vertices";
      break;
    case TripleRole::kNormal:
      array.one = "normal", array.many = "normals";
      break;
    default:
      array.one = "uv", array.many = "uvs";
      break;
  }
  for (int t = 0; t < 3; ++t) {
    if (options.faces[t] == role) array.triple = t;
  }
  // Positions are always looked at: a face cannot be drawn without them.
  array.looked = array.triple >= 0 && (role == TripleRole::kPosition || count > 0);
  return array;
}

class MeshBuilder {
 public:
  MeshBuilder(const Scene& scene, const ExportOptions& options, Status& result)
      : options_(options), result_(result) {
    if (scene.objectFile) objectPath_ = ShownBytes(scene.objectFile->path);
  }

  bool Build(const Body& body, ExportMesh& mesh) {
    mesh.body = &body;
    mesh.name = ExportName(body.name);
    boundsEmpty_ = true;
    if (body.faces.items != nullptr && body.faces.count > 0) return BuildTriangles(body, mesh);
    if (body.vertices.items != nullptr && body.vertices.count > 0) return BuildPoints(body, mesh);
    mesh.kind = ExportMesh::Kind::kEmpty;
    return true;
  }

 private:
  std::string Where(const Body& body) const { return objectPath_ + ": body " + Quoted(body.name); }

  bool Fail(std::string message) {
    result_.Fail(StatusCode::kInvalidScene, std::move(message));
    return false;
  }

  bool OutOfRange(const Body& body, int32_t face, const IndexedArray& array, int32_t index) {
    return Fail(Where(body) + ", face " + std::to_string(face) + ": " + std::string(array.role) +
                " index " + std::to_string(index) + " is outside the " +
                std::to_string(array.count) + " " +
                std::string(array.count == 1 ? array.one : array.many) + " (" +
                std::string(kTripleWords[array.triple]) + " triple; faces " + FacesText(options_) +
                ", indexBase " + std::to_string(options_.indexBase) + ")");
  }

  // The 0-based index of corner `k` of `face` in `array`, or -1 when it lies outside.
  int32_t IndexOf(const Face& face, const IndexedArray& array, int k) const {
    const int64_t index =
        static_cast<int64_t>((face.*kTriples[array.triple])[k]) - options_.indexBase;
    return index >= 0 && index < array.count ? static_cast<int32_t>(index) : -1;
  }

  bool BuildPoints(const Body& body, ExportMesh& mesh) {
    mesh.kind = ExportMesh::Kind::kPoints;
    for (int32_t i = 0; i < body.vertices.count; ++i) {
      if (!AddToBounds(body, i, mesh)) return false;
    }
    return true;
  }

  bool AddToBounds(const Body& body, int32_t i, ExportMesh& mesh) {
    const Vector3& p = body.vertices.items[i];
    if (!Finite(p)) {
      return Fail(Where(body) + ": vertex " + std::to_string(i) + " is not finite (" +
                  VectorText(p) + ")");
    }
    if (boundsEmpty_) {
      mesh.min = mesh.max = p;
      boundsEmpty_ = false;
    }
    mesh.min = {std::min(mesh.min.x, p.x), std::min(mesh.min.y, p.y), std::min(mesh.min.z, p.z)};
    mesh.max = {std::max(mesh.max.x, p.x), std::max(mesh.max.y, p.y), std::max(mesh.max.z, p.z)};
    return true;
  }

  // Every corner checked and welded (export/weld.h); then the bounds, uvs and normals of the
  // vertices that came of it.
  bool BuildTriangles(const Body& body, ExportMesh& mesh) {
    mesh.kind = ExportMesh::Kind::kTriangles;
    const int32_t vertexCount = body.vertices.items ? body.vertices.count : 0;
    const IndexedArray positions = ArrayFor(options_, TripleRole::kPosition, vertexCount);
    const IndexedArray normals =
        ArrayFor(options_, TripleRole::kNormal, body.normals.items ? body.normals.count : 0);
    const IndexedArray uvs =
        ArrayFor(options_, TripleRole::kUv, body.uvs.items ? body.uvs.count : 0);

    const size_t faceCount = static_cast<size_t>(body.faces.count);
    mesh.indices.resize(faceCount * 3);
    mesh.vertices.reserve(static_cast<size_t>(vertexCount));
    welder_.Start(static_cast<size_t>(vertexCount), faceCount);

    for (size_t f = 0; f < faceCount; ++f) {
      const Face& face = body.faces.items[f];
      for (int k = 0; k < 3; ++k) {
        WeldedVertex corner;
        corner.position = IndexOf(face, positions, k);
        if (corner.position < 0) {
          return OutOfRange(body, static_cast<int32_t>(f), positions,
                            (face.*kTriples[positions.triple])[k]);
        }
        if (normals.looked) {
          corner.normal = IndexOf(face, normals, k);
          if (corner.normal < 0) {
            return OutOfRange(body, static_cast<int32_t>(f), normals,
                              (face.*kTriples[normals.triple])[k]);
          }
        }
        if (uvs.looked) {
          corner.uv = IndexOf(face, uvs, k);
          if (corner.uv < 0) {
            return OutOfRange(body, static_cast<int32_t>(f), uvs, (face.*kTriples[uvs.triple])[k]);
          }
        }
        mesh.indices[f * 3 + static_cast<size_t>(k)] = welder_.Weld(corner, mesh.vertices);
      }
    }
    welder_.Release();

    mesh.hasUvs = uvs.looked;
    for (const WeldedVertex& v : mesh.vertices) {
      if (!AddToBounds(body, v.position, mesh)) return false;
      if (mesh.hasUvs && !Finite(body.uvs.items[v.uv])) {
        const Vector2& uv = body.uvs.items[v.uv];
        return Fail(Where(body) + ": uv " + std::to_string(v.uv) + " is not finite (" +
                    FloatText(uv.u) + " " + FloatText(uv.v) + ")");
      }
    }
    mesh.hasNormals = normals.looked && NormalsUsable(body, mesh);
    return true;
  }

  bool NormalsUsable(const Body& body, const ExportMesh& mesh) {
    for (const WeldedVertex& v : mesh.vertices) {
      const Vector3& n = body.normals.items[v.normal];
      const bool finite = Finite(n);
      if (finite && Length(ToDouble(n)) > 0) continue;
      result_.warnings.push_back(Where(body) + ": normal " + std::to_string(v.normal) + " (" +
                                 VectorText(n) + ") " +
                                 (finite ? "has zero length" : "is not finite") +
                                 "; its triangles are written without normals");
      return false;
    }
    return true;
  }

  const ExportOptions& options_;
  Status& result_;
  std::string objectPath_;
  bool boundsEmpty_ = true;
  CornerWelder welder_;
};

ExportMaterial MapMaterial(const Material& material, const std::string& directory, Status& result) {
  ExportMaterial out;
  out.name = ExportName(material.name);
  const Color3 diffuse = UnitColor(material.diffuse);
  const float opacity = Unit(material.opacity);
  out.baseColor = {diffuse.r, diffuse.g, diffuse.b, opacity};
  out.blend = opacity < 1;
  // Phong exponent to roughness: sqrt(2 / (s + 2)). NaN counts as below 0.
  out.roughness = material.shininess >= 0
                      ? static_cast<float>(std::sqrt(2.0 / (double(material.shininess) + 2)))
                      : 1.0f;
  out.emissive = UnitColor(material.extraColor1);
  const Color3 specular = UnitColor(material.specular);
  if (specular.r > 0 || specular.g > 0 || specular.b > 0) out.specular = specular;

  const std::string_view texture = WithoutQuotes(material.textureName);
  if (texture.empty()) return out;
  out.textureName = ExportName(material.textureName);
  const TextureCheck check = CheckTexture(directory, texture);
  if (check.path.empty()) {
    result.warnings.push_back("material " + Quoted(material.name) + ": texture " +
                              Quoted(material.textureName) + " left out: " + check.why);
    return out;
  }
  out.texturePath = check.path;
  out.textureMime = check.mime;
  return out;
}

void MapLights(const Scene& scene, bool zUp, ExportScene& out, Status& result) {
  for (const Light& light : scene.lights) {
    const std::string where = "light " + Quoted(light.name) + " left out: ";
    const Vec3d d = ToDouble(zUp ? TurnZUp(light.direction) : light.direction);
    const double length = Length(d);
    if (!Finite(light.direction)) {
      result.warnings.push_back(where + "direction " + VectorText(light.direction) +
                                " is not finite");
      continue;
    }
    if (!(length > 0)) {
      result.warnings.push_back(where + "direction " + VectorText(light.direction) +
                                " has zero length");
      continue;
    }
    if (std::isinf(light.brightness)) {
      result.warnings.push_back(where + "brightness " + FloatText(light.brightness) +
                                " is not finite");
      continue;
    }
    ExportLight mapped;
    mapped.name = ExportName(light.name);
    mapped.color = UnitColor(light.rgb);
    mapped.intensity = light.brightness > 0 ? light.brightness : 0;
    const Vec3d unit = Scaled(d, 1 / length);
    mapped.direction = ToFloat(unit);
    mapped.placement.rotation = TurnMinusZOnto(unit);
    out.lights.push_back(std::move(mapped));
  }
}

// Why `camera` cannot be a glTF camera, or empty.
std::string CameraProblem(const Camera& camera) {
  if (!(camera.viewAngle > 0 && camera.viewAngle < 180)) {
    return "view-angle " + FloatText(camera.viewAngle) + " is not between 0 and 180 degrees";
  }
  if (!(camera.hither > 0) || std::isinf(camera.hither)) {
    return "hither " + FloatText(camera.hither) + " is not a positive distance";
  }
  if (!(camera.yon > camera.hither) || std::isinf(camera.yon)) {
    return "yon " + FloatText(camera.yon) + " is not a finite distance beyond hither " +
           FloatText(camera.hither);
  }
  if (!Finite(camera.location)) return "location " + VectorText(camera.location) + " is not finite";
  if (!Finite(camera.aim)) return "aim " + VectorText(camera.aim) + " is not finite";
  if (!Finite(camera.lookupVector)) {
    return "lookup-vector " + VectorText(camera.lookupVector) + " is not finite";
  }
  const Vec3d view = Minus(ToDouble(camera.aim), ToDouble(camera.location));
  if (!(Length(view) > 0)) return "aim " + VectorText(camera.aim) + " equals location";
  const Vec3d forward = Scaled(view, 1 / Length(view));
  const Vec3d up = ToDouble(camera.lookupVector);
  const double upLength = Length(up);
  // Up at less than about 0.06 degrees from the view direction leaves no usable frame.
  if (!(upLength > 0) || Length(Cross(forward, Scaled(up, 1 / upLength))) < 1e-6) {
    return "lookup-vector " + VectorText(camera.lookupVector) +
           " is parallel to the view direction";
  }
  return {};
}

void MapCamera(const Scene& scene, const ExportOptions& options, ExportScene& out, Status& result) {
  if (scene.camera.items == nullptr || scene.camera.count < 1) return;
  const bool zUp = options.up == UpAxis::kZ;
  Camera camera = scene.camera.items[0];
  if (zUp) {
    camera.location = TurnZUp(camera.location);
    camera.aim = TurnZUp(camera.aim);
    camera.lookupVector = TurnZUp(camera.lookupVector);
  }
  const std::string problem = CameraProblem(camera);
  if (!problem.empty()) {
    result.warnings.push_back("camera left out: " + problem);
    return;
  }
  ExportCamera mapped;
  mapped.name = ExportName(camera.name);
  if (mapped.name.empty()) mapped.name = "camera";
  mapped.yfov = static_cast<float>(camera.viewAngle * 3.14159265358979323846 / 180);
  mapped.znear = camera.hither;
  mapped.zfar = camera.yon;
  const Vec3d view = Minus(ToDouble(camera.aim), ToDouble(camera.location));
  const Vec3d forward = Scaled(view, 1 / Length(view));
  const Vec3d sideways = Cross(forward, ToDouble(camera.lookupVector));
  const Vec3d right = Scaled(sideways, 1 / Length(sideways));
  const Vec3d up = Cross(right, forward);
  mapped.forward = ToFloat(forward);
  mapped.up = ToFloat(up);
  mapped.placement.translation = camera.location;
  mapped.placement.rotation = QuaternionOfBasis(right, up, Scaled(forward, -1));
  out.camera = std::move(mapped);
  const Vector3& lookup = camera.lookupVector;
  if (!options.up && std::abs(lookup.z) > std::abs(lookup.y)) {
    result.notes.push_back("the camera's lookup-vector " + VectorText(lookup) +
                           " is nearer +Z than +Y: up z turns the scene so that it stands "
                           "upright in glTF viewers, whose up is +Y");
  }
}

// The bodies as the meshes draw them, turned so that +Z is up; the faces stay where they are,
// since the meshes are welded from them already.
void TurnBodies(ExportScene& out) {
  out.turnedBodies.resize(out.meshes.size());
  for (size_t b = 0; b < out.meshes.size(); ++b) {
    ExportMesh& mesh = out.meshes[b];
    const Body& from = *mesh.body;
    Body& to = out.turnedBodies[b];
    to.name = from.name;
    // An array the body lacks stays absent.
    const bool allocated = (!from.vertices.items || to.vertices.Allocate(from.vertices.count)) &&
                           (!from.normals.items || to.normals.Allocate(from.normals.count)) &&
                           (!from.uvs.items || to.uvs.Allocate(from.uvs.count));
    if (!allocated) throw std::bad_alloc();
    std::transform(from.vertices.begin(), from.vertices.end(), to.vertices.begin(), TurnZUp);
    std::transform(from.normals.begin(), from.normals.end(), to.normals.begin(), TurnZUp);
    std::copy(from.uvs.begin(), from.uvs.end(), to.uvs.begin());
    mesh.body = &to;
    const Vector3 low = mesh.min;
    const Vector3 high = mesh.max;
    mesh.min = {low.x, low.z, -high.y};
    mesh.max = {high.x, high.z, -low.y};
  }
}

// Which material each triangle body gets: the only one there is, else what bodyMaterials says.
bool AssignMaterials(const Scene& scene, const ExportOptions& options, ExportScene& out,
                     Status& result) {
  std::vector<int32_t> chosen(out.meshes.size(), -1);
  for (size_t entry = 0; entry < options.bodyMaterials.size(); ++entry) {
    const auto& [bodyName, materialName] = options.bodyMaterials[entry];
    const std::string option = "bodyMaterials[" + std::to_string(entry) + "]: the scene has no ";
    int32_t material = -1;
    for (int32_t m = 0; m < scene.materials.count && material < 0; ++m) {
      if (scene.materials.items[m].name == materialName) material = m;
    }
    if (material < 0) {
      result.Fail(StatusCode::kBadOptions, option + "material " + ShownBytes(materialName));
      return false;
    }
    bool found = false;
    for (size_t b = 0; b < out.meshes.size(); ++b) {
      if (out.meshes[b].body->name != bodyName) continue;
      chosen[b] = material;
      found = true;
    }
    if (!found) {
      result.Fail(StatusCode::kBadOptions, option + "body " + ShownBytes(bodyName));
      return false;
    }
  }
  const bool onlyOne = scene.materials.items != nullptr && scene.materials.count == 1;
  int32_t without = 0;
  for (size_t b = 0; b < out.meshes.size(); ++b) {
    ExportMesh& mesh = out.meshes[b];
    if (mesh.kind != ExportMesh::Kind::kTriangles) continue;
    mesh.material = onlyOne ? 0 : chosen[b];
    if (mesh.material < 0) ++without;
  }
  if (without > 0 && scene.materials.count > 1) {
    result.notes.push_back(std::to_string(without) +
                           " bodies with faces have no material: with more than one material "
                           "in the scene, bodyMaterials chooses");
  }
  return true;
}

}  // namespace

std::string_view TripleRoleWord(TripleRole role) {
  const auto at = static_cast<size_t>(role);
  return at < std::size(kRoleWords) ? kRoleWords[at] : std::string_view("?");
}

bool TripleRoleOf(std::string_view word, TripleRole& role) {
  for (size_t at = 0; at < std::size(kRoleWords); ++at) {
    if (kRoleWords[at] != word) continue;
    role = static_cast<TripleRole>(at);
    return true;
  }
  return false;
}

std::string FaceRolesText(const std::array<TripleRole, 3>& faces) {
  std::string text;
  for (const TripleRole role : faces) {
    if (!text.empty()) text.push_back(',');
    text.append(TripleRoleWord(role));
  }
  return text;
}

std::string ParseFaceRoles(std::string_view text, std::array<TripleRole, 3>& faces) {
  std::vector<std::string_view> words;
  for (size_t start = 0;;) {
    const size_t comma = text.find(',', start);
    words.push_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (words.size() != 3) return "three words are needed, one per triple";
  for (size_t t = 0; t < 3; ++t) {
    if (!TripleRoleOf(words[t], faces[t])) {
      return "\"" + std::string(words[t]) + "\" is not one of position, normal, uv, none";
    }
  }
  return std::string(FaceRolesProblem(faces));
}

std::string_view FaceRolesProblem(const std::array<TripleRole, 3>& faces) {
  int counts[std::size(kRoleWords)] = {};
  for (const TripleRole role : faces) {
    if (static_cast<size_t>(role) < std::size(kRoleWords)) ++counts[static_cast<size_t>(role)];
  }
  if (counts[0] != 1) return "position must appear exactly once";
  if (counts[1] > 1 || counts[2] > 1) return "normal and uv may appear at most once each";
  return {};
}

std::string ExportName(std::string_view raw) {
  const std::string_view name = WithoutQuotes(raw);
  return IsUtf8(name) ? std::string(name) : Latin1ToUtf8(name);
}

Status PrepareExport(const Scene& scene, const ExportOptions& options, ExportScene& out) {
  Status result;
  try {
    if (!CheckOptions(options, result)) return result;
    if (scene.objectFile) out.objectPath = scene.objectFile->path;
    MeshBuilder builder(scene, options, result);
    out.meshes.resize(static_cast<size_t>(scene.objects.items ? scene.objects.count : 0));
    for (size_t b = 0; b < out.meshes.size(); ++b) {
      if (!builder.Build(scene.objects.items[b], out.meshes[b])) return result;
    }
    const std::string directory = scene.materialFile ? scene.materialFile->directory : "";
    for (const Material& material : scene.materials) {
      out.materials.push_back(MapMaterial(material, directory, result));
    }
    if (!AssignMaterials(scene, options, out, result)) return result;
    if (options.up == UpAxis::kZ) TurnBodies(out);
    MapLights(scene, options.up == UpAxis::kZ, out, result);
    MapCamera(scene, options, out, result);
  } catch (const std::bad_alloc&) {
    result.Fail(StatusCode::kOutOfMemory, "out of memory while preparing the scene");
  }
  return result;
}

}  // namespace sceneio
