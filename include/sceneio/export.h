// A loaded scene made ready for writing out: faces welded into indexed triangles, names made
// UTF-8, materials, lights and camera mapped and checked. The glTF writer and the picture
// renderer both start from this, so the two can never disagree on what the scene shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sceneio/scene.h"
#include "sceneio/status.h"
#include "sceneio/types.h"

namespace sceneio {

// Which array of a body one of a face's three triples indexes.
enum class TripleRole : uint8_t { kPosition, kNormal, kUv, kNone };

// The word for a role: "position", "normal", "uv", "none"; and the role a word names (false for
// a word that names none).
std::string_view TripleRoleWord(TripleRole role);
bool TripleRoleOf(std::string_view word, TripleRole& role);

// The roles as words joined by commas: "position,normal,uv".
std::string FaceRolesText(const std::array<TripleRole, 3>& faces);
// Reads "position,normal,uv": three role words joined by commas. Empty when it reads and the
// roles are usable, else what is wrong.
std::string ParseFaceRoles(std::string_view text, std::array<TripleRole, 3>& faces);
// What makes `faces` unusable: "position must appear exactly once" or "normal and uv may appear
// at most once each"; empty when the roles are usable.
std::string_view FaceRolesProblem(const std::array<TripleRole, 3>& faces);

enum class UpAxis : uint8_t { kY, kZ };

struct ExportOptions {
  // Role of triple1, triple2, triple3 in that order. kPosition exactly once; kNormal and kUv
  // at most once each.
  std::array<TripleRole, 3> faces = {TripleRole::kPosition, TripleRole::kNormal, TripleRole::kUv};
  int32_t indexBase = 0;  // the index in the file of each array's first element: 0 or 1
  // Body name -> material name, each the name token exactly as the files hold it, quotes and
  // all ("\"cube\"" names the body written `body "cube"`). A later entry for a body wins.
  std::vector<std::pair<std::string, std::string>> bodyMaterials;
  // Which axis of the scene is up. glTF's is +Y; with kZ the scene is turned a quarter round X
  // so that its +Z becomes +Y (positions, normals, light directions and the camera). Absent:
  // kY, with a note when the camera's lookup-vector is nearer +Z than +Y.
  std::optional<UpAxis> up;
};

// One glTF vertex: the body-array indices (0-based, already checked) of one distinct corner.
// -1 where the primitive has no such attribute.
struct WeldedVertex {
  int32_t position = -1;
  int32_t normal = -1;
  int32_t uv = -1;
};

struct ExportMesh {
  enum class Kind : uint8_t { kEmpty, kPoints, kTriangles };
  const Body* body = nullptr;  // the body it comes from; its arrays hold the values
  std::string name;            // UTF-8, one pair of surrounding quotes dropped
  Kind kind = Kind::kEmpty;
  // kTriangles: distinct corners in order of first use, and three entries of `indices` per
  // face indexing them. kPoints: both empty, the body's vertices are the points.
  std::vector<WeldedVertex> vertices;
  std::vector<uint32_t> indices;
  bool hasNormals = false;  // every used normal is finite and of non-zero length
  bool hasUvs = false;
  int32_t material = -1;  // index into ExportScene::materials, or -1
  Vector3 min;            // of the positions the primitive uses
  Vector3 max;
};

struct ExportMaterial {
  std::string name;                  // UTF-8, quotes dropped
  std::array<float, 4> baseColor{};  // diffuse and opacity, each clamped to [0, 1]
  bool blend = false;                // opacity < 1
  float roughness = 1;
  Color3 emissive;                 // extraColor1 clamped to [0, 1]
  std::optional<Color3> specular;  // present when the specular colour is not black
  std::string texturePath;         // a checked PNG or JPEG to embed; empty when none
  std::string textureMime;         // "image/png" or "image/jpeg" when texturePath is set
  std::string textureName;         // UTF-8, quotes dropped
};

// A node's placement: where it stands and how it is turned (a unit quaternion x, y, z, w).
struct Placement {
  Vector3 translation;
  std::array<float, 4> rotation = {0, 0, 0, 1};
};

struct ExportLight {
  std::string name;  // UTF-8, quotes dropped
  Color3 color;      // clamped to [0, 1]
  float intensity = 0;
  Vector3 direction;    // normalised
  Placement placement;  // turns -Z onto `direction`
};

struct ExportCamera {
  std::string name;
  float yfov = 0;  // radians
  float znear = 0;
  float zfar = 0;
  // Orthonormal view frame: eye at placement.translation, looking along `forward`, `up` on
  // screen; placement.rotation turns -Z onto forward and +Y onto up.
  Vector3 forward;
  Vector3 up;
  Placement placement;
};

struct ExportScene {
  std::vector<ExportMesh> meshes;         // one per body, in body order; no body is dropped
  std::vector<ExportMaterial> materials;  // every material, in file order
  std::vector<ExportLight> lights;        // those with a usable direction
  std::optional<ExportCamera> camera;     // absent when the scene has none or it is unusable
  std::string objectPath;                 // the object file as the scene names it
  // With UpAxis::kZ, the bodies the meshes draw: positions and normals turned, uvs copied.
  std::vector<Body> turnedBodies;
};

// A name of the scene as a JSON string may hold it: one pair of surrounding double quotes
// dropped; kept as it is when it is valid UTF-8, else each byte read as one Latin-1 character.
std::string ExportName(std::string_view raw);

// Maps `scene` under `options`. On failure the status says why and `out` is left partly built;
// its warnings and notes hold what the reader should know either way. Throws nothing.
Status PrepareExport(const Scene& scene, const ExportOptions& options, ExportScene& out);

}  // namespace sceneio
