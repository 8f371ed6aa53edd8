// The export model: welding, every index and value check with its exact message, names,
// materials, texture safety, lights and the camera, on scenes built in memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sceneio/export.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr TripleRole P = TripleRole::kPosition;
constexpr TripleRole N = TripleRole::kNormal;
constexpr TripleRole U = TripleRole::kUv;
constexpr TripleRole X = TripleRole::kNone;

struct BodyValues {
  const char* name = "\"cube\"";
  std::vector<Vector3> vertices;
  std::vector<Vector3> normals;
  std::vector<Vector2> uvs;
  std::vector<Face> faces;
  bool normalsStored = true;  // false: the section is absent (items null)
  bool uvsStored = true;
};

template <typename T>
void Fill(CountedArray<T>& array, const std::vector<T>& values) {
  ASSERT_TRUE(array.Allocate(static_cast<int32_t>(values.size())));
  for (size_t i = 0; i < values.size(); ++i) array.items[i] = values[i];
}

std::unique_ptr<FileBuffer> PathOnly(const std::string& path, const std::string& directory) {
  auto file = std::make_unique<FileBuffer>();
  file->path = path;
  file->directory = directory;
  return file;
}

void AddBodies(Scene& scene, const std::vector<BodyValues>& bodies) {
  scene.objectFile = PathOnly("dork\\dork.gof", "dork\\");
  ASSERT_TRUE(scene.objects.Allocate(static_cast<int32_t>(bodies.size())));
  for (size_t b = 0; b < bodies.size(); ++b) {
    Body& body = scene.objects.items[b];
    body.name = bodies[b].name;
    Fill(body.vertices, bodies[b].vertices);
    if (bodies[b].normalsStored) Fill(body.normals, bodies[b].normals);
    if (bodies[b].uvsStored) Fill(body.uvs, bodies[b].uvs);
    Fill(body.faces, bodies[b].faces);
  }
}

Face Tri(std::array<int32_t, 3> a, std::array<int32_t, 3> b, std::array<int32_t, 3> c) {
  Face face;
  for (int k = 0; k < 3; ++k) {
    face.triple1[k] = a[k];
    face.triple2[k] = b[k];
    face.triple3[k] = c[k];
  }
  return face;
}

// A quad of four corners, one normal, four uvs: the shape most rows start from.
BodyValues Quad() {
  BodyValues body;
  body.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  body.normals = {{0, 0, 1}, {0, 0, 2}};
  body.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  body.faces = {Tri({0, 1, 2}, {0, 0, 0}, {0, 1, 2}), Tri({0, 2, 3}, {0, 0, 0}, {0, 2, 3})};
  return body;
}

struct Prepared {
  bool ok = false;
  ExportScene out;
  Status result;
};

Prepared Prepare(const Scene& scene, const ExportOptions& options = {}) {
  Prepared p;
  p.result = PrepareExport(scene, options, p.out);
  p.ok = p.result.ok();
  return p;
}

std::vector<int32_t> Flatten(const std::vector<WeldedVertex>& vertices) {
  std::vector<int32_t> flat;
  for (const WeldedVertex& v : vertices) flat.insert(flat.end(), {v.position, v.normal, v.uv});
  return flat;
}

struct WeldCase {
  const char* name;
  std::vector<Face> faces;
  std::array<TripleRole, 3> roles;
  int32_t base;
  std::vector<int32_t> vertices;  // position, normal, uv of each welded vertex in order
  std::vector<uint32_t> indices;
};

const WeldCase kWeldCases[] = {
    {"shared edge stays shared",
     {Tri({0, 1, 2}, {0, 0, 0}, {0, 1, 2}), Tri({0, 2, 3}, {0, 0, 0}, {0, 2, 3})},
     {P, N, U},
     0,
     {0, 0, 0, 1, 0, 1, 2, 0, 2, 3, 0, 3},
     {0, 1, 2, 0, 2, 3}},
    {"order of first use, not of position",
     {Tri({3, 1, 2}, {0, 0, 0}, {0, 0, 0}), Tri({2, 0, 3}, {0, 0, 0}, {0, 0, 0})},
     {P, N, U},
     0,
     {3, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0},
     {0, 1, 2, 2, 3, 0}},
    {"same position, other uv: split",
     {Tri({0, 1, 2}, {0, 0, 0}, {0, 1, 2}), Tri({0, 2, 1}, {0, 0, 0}, {3, 2, 1})},
     {P, N, U},
     0,
     {0, 0, 0, 1, 0, 1, 2, 0, 2, 0, 0, 3},
     {0, 1, 2, 3, 2, 1}},
    {"same position, other normal: split",
     {Tri({0, 1, 2}, {0, 0, 0}, {0, 0, 0}), Tri({0, 1, 2}, {1, 0, 0}, {0, 0, 0})},
     {P, N, U},
     0,
     {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0},
     {0, 1, 2, 3, 1, 2}},
    {"triples in another order",
     {Tri({0, 1, 2}, {0, 0, 0}, {0, 2, 3})},
     {U, N, P},
     0,
     {0, 0, 0, 2, 0, 1, 3, 0, 2},
     {0, 1, 2}},
    {"index base 1",
     {Tri({1, 2, 3}, {1, 1, 1}, {4, 3, 2})},
     {P, N, U},
     1,
     {0, 0, 3, 1, 0, 2, 2, 0, 1},
     {0, 1, 2}},
    {"role none is never looked at",
     {Tri({0, 1, 2}, {-7, 99, 1000000}, {0, 1, 2})},
     {P, X, U},
     0,
     {0, -1, 0, 1, -1, 1, 2, -1, 2},
     {0, 1, 2}},
    {"repeated corner inside one face",
     {Tri({1, 1, 2}, {0, 0, 0}, {1, 1, 2})},
     {P, N, U},
     0,
     {1, 0, 1, 2, 0, 2},
     {0, 0, 1}},
};

TEST(ExportWeld, MatchesTable) {
  for (const WeldCase& c : kWeldCases) {
    SCOPED_TRACE(c.name);
    BodyValues body = Quad();
    body.faces = c.faces;
    Scene scene;
    AddBodies(scene, {body});
    ExportOptions options;
    options.faces = c.roles;
    options.indexBase = c.base;
    const Prepared p = Prepare(scene, options);
    ASSERT_TRUE(p.ok) << p.result.message;
    const ExportMesh& mesh = p.out.meshes.at(0);
    EXPECT_EQ(mesh.kind, ExportMesh::Kind::kTriangles);
    EXPECT_EQ(Flatten(mesh.vertices), c.vertices);
    EXPECT_EQ(mesh.indices, c.indices);
  }
}

// The generated scenes' shape: a grid whose corners each belong to up to six triangles.
TEST(ExportWeld, GridKeepsOneVertexPerCorner) {
  constexpr int kSide = 40;
  BodyValues body;
  body.normalsStored = false;
  body.uvsStored = false;
  for (int y = 0; y <= kSide; ++y) {
    for (int x = 0; x <= kSide; ++x) body.vertices.push_back({float(x), float(y), 0});
  }
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const int a = y * (kSide + 1) + x;
      body.faces.push_back(Tri({a, a + 1, a + kSide + 2}, {}, {}));
      body.faces.push_back(Tri({a, a + kSide + 2, a + kSide + 1}, {}, {}));
    }
  }
  Scene scene;
  AddBodies(scene, {body});
  const Prepared p = Prepare(scene);
  ASSERT_TRUE(p.ok) << p.result.message;
  const ExportMesh& mesh = p.out.meshes[0];
  EXPECT_EQ(mesh.vertices.size(), size_t((kSide + 1) * (kSide + 1)));
  EXPECT_FALSE(mesh.hasNormals);
  EXPECT_FALSE(mesh.hasUvs);
  EXPECT_EQ(mesh.max.x, float(kSide));
  EXPECT_EQ(mesh.max.y, float(kSide));
  // Every corner still reaches the position its face named.
  for (size_t i = 0; i < mesh.indices.size(); ++i) {
    const Face& face = body.faces[i / 3];
    EXPECT_EQ(mesh.vertices[mesh.indices[i]].position, face.triple1[i % 3]);
  }
}

// Every corner at one position, told apart only by its uv; the second half of the faces
// repeats the first, so it must find every corner again rather than add one.
TEST(ExportWeld, OnePositionManyUvs) {
  constexpr int32_t kUvs = 6000;
  BodyValues body;
  body.vertices = {{1, 2, 3}};
  body.normalsStored = false;
  body.uvs.resize(kUvs);
  for (int repeat = 0; repeat < 2; ++repeat) {
    for (int32_t f = 0; f < kUvs / 3; ++f) {
      body.faces.push_back(Tri({0, 0, 0}, {}, {3 * f, 3 * f + 1, 3 * f + 2}));
    }
  }
  Scene scene;
  AddBodies(scene, {body});
  const Prepared p = Prepare(scene);
  ASSERT_TRUE(p.ok) << p.result.message;
  const ExportMesh& mesh = p.out.meshes[0];
  ASSERT_EQ(mesh.vertices.size(), size_t{kUvs});
  for (size_t i = 0; i < mesh.indices.size(); ++i) {
    EXPECT_EQ(mesh.indices[i], i % kUvs);
    EXPECT_EQ(mesh.vertices[mesh.indices[i]].uv, int32_t(i % kUvs));
  }
}

struct RangeCase {
  const char* name;
  Face face;  // replaces the second face of the quad (face 1)
  std::array<TripleRole, 3> roles;
  int32_t base;
  bool normalsStored;
  bool uvsStored;
  const char* error;  // empty: converts
};

const RangeCase kRangeCases[] = {
    {"position past the end",
     Tri({0, 2, 4}, {0, 0, 0}, {0, 1, 2}),
     {P, N, U},
     0,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: position index 4 is outside the 4 vertices "
     "(first triple; faces position,normal,uv, indexBase 0)"},
    {"negative position",
     Tri({0, -1, 2}, {0, 0, 0}, {0, 1, 2}),
     {P, N, U},
     0,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: position index -1 is outside the 4 vertices "
     "(first triple; faces position,normal,uv, indexBase 0)"},
    {"normal past the end",
     Tri({0, 1, 2}, {0, 0, 2}, {0, 1, 2}),
     {P, N, U},
     0,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: normal index 2 is outside the 2 normals "
     "(second triple; faces position,normal,uv, indexBase 0)"},
    {"uv past the end",
     Tri({0, 1, 2}, {0, 0, 0}, {0, 9, 2}),
     {P, N, U},
     0,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: uv index 9 is outside the 4 uvs "
     "(third triple; faces position,normal,uv, indexBase 0)"},
    {"index base 1 with index 0",
     Tri({1, 2, 3}, {1, 1, 1}, {1, 0, 2}),
     {P, N, U},
     1,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: uv index 0 is outside the 4 uvs "
     "(third triple; faces position,normal,uv, indexBase 1)"},
    {"index base 1 reaches the count",
     Tri({1, 2, 4}, {1, 1, 1}, {1, 2, 4}),
     {P, N, U},
     1,
     true,
     true,
     ""},
    {"index base 1, one past the count",
     Tri({1, 2, 5}, {1, 1, 1}, {1, 2, 3}),
     {P, N, U},
     1,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: position index 5 is outside the 4 vertices "
     "(first triple; faces position,normal,uv, indexBase 1)"},
    {"other order names the triple it read",
     Tri({0, 1, 7}, {0, 1, 2}, {0, 0, 0}),
     {U, P, N},
     0,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: uv index 7 is outside the 4 uvs "
     "(first triple; faces uv,position,normal, indexBase 0)"},
    {"lowest integer does not wrap with base 1",
     Tri({1, 2, 3}, {1, 1, 1}, {1, 2, -2147483647 - 1}),
     {P, N, U},
     1,
     true,
     true,
     "dork\\dork.gof: body \"cube\", face 1: uv index -2147483648 is outside the 4 uvs "
     "(third triple; faces position,normal,uv, indexBase 1)"},
    {"role none is not looked at",
     Tri({0, 1, 2}, {0, 0, 0}, {50, 60, 70}),
     {P, N, X},
     0,
     true,
     true,
     ""},
    {"absent normals are not looked at",
     Tri({0, 1, 2}, {50, 60, 70}, {0, 1, 2}),
     {P, N, U},
     0,
     false,
     true,
     ""},
    {"absent uvs are not looked at",
     Tri({0, 1, 2}, {0, 0, 0}, {50, 60, 70}),
     {P, N, U},
     0,
     true,
     false,
     ""},
};

TEST(ExportRange, MatchesTable) {
  for (const RangeCase& c : kRangeCases) {
    SCOPED_TRACE(c.name);
    BodyValues body = Quad();
    // The first face must be valid under the case's options too.
    const int32_t b = c.base;
    std::array<std::array<int32_t, 3>, 3> first{};
    for (int t = 0; t < 3; ++t) {
      first[t] = c.roles[t] == N ? std::array<int32_t, 3>{b, b, b}
                                 : std::array<int32_t, 3>{b, b + 1, b + 2};
    }
    body.faces = {Tri(first[0], first[1], first[2]), c.face};
    body.normalsStored = c.normalsStored;
    body.uvsStored = c.uvsStored;
    Scene scene;
    AddBodies(scene, {body});
    ExportOptions options;
    options.faces = c.roles;
    options.indexBase = c.base;
    const Prepared p = Prepare(scene, options);
    EXPECT_EQ(p.ok, std::string(c.error).empty());
    EXPECT_EQ(p.result.message, c.error);
    if (!p.ok) {
      EXPECT_EQ(p.result.code, StatusCode::kInvalidScene);
    }
    if (p.ok && !c.normalsStored) {
      EXPECT_FALSE(p.out.meshes[0].hasNormals);
    }
    if (p.ok && !c.uvsStored) {
      EXPECT_FALSE(p.out.meshes[0].hasUvs);
    }
  }
}

struct ValueCase {
  const char* name;
  int32_t vertex;  // -1: none changed
  Vector3 position;
  int32_t uv;
  Vector2 texcoord;
  int32_t normal;
  Vector3 direction;
  const char* error;
  const char* warning;
  bool hasNormals;
};

const ValueCase kValueCases[] = {
    {"infinite position of a used vertex",
     2,
     {kInf, 0, 0},
     -1,
     {},
     -1,
     {},
     "dork\\dork.gof: body \"cube\": vertex 2 is not finite (inf 0 0)",
     "",
     true},
    {"NaN texture coordinate",
     -1,
     {},
     3,
     {0.5f, kNan},
     -1,
     {},
     "dork\\dork.gof: body \"cube\": uv 3 is not finite (0.5 nan)",
     "",
     true},
    {"unused vertex is not looked at", 4, {kInf, kInf, kInf}, -1, {}, -1, {}, "", "", true},
    {"zero normal drops NORMAL only",
     -1,
     {},
     -1,
     {},
     0,
     {0, 0, 0},
     "",
     "dork\\dork.gof: body \"cube\": normal 0 (0 0 0) has zero length; its triangles are "
     "written without normals",
     false},
    {"NaN normal drops NORMAL only",
     -1,
     {},
     -1,
     {},
     0,
     {kNan, 0, 1},
     "",
     "dork\\dork.gof: body \"cube\": normal 0 (nan 0 1) is not finite; its triangles are "
     "written without normals",
     false},
    {"tiny normal still has a direction", -1, {}, -1, {}, 0, {0, 0, 1e-30f}, "", "", true},
    {"huge normal does not overflow to infinity",
     -1,
     {},
     -1,
     {},
     0,
     {3e38f, 3e38f, 0},
     "",
     "",
     true},
    {"unused normal is not looked at", -1, {}, -1, {}, 1, {0, 0, 0}, "", "", true},
};

TEST(ExportValues, MatchesTable) {
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.name);
    BodyValues body = Quad();
    body.vertices.push_back({9, 9, 9});  // vertex 4, used by no face
    if (c.vertex >= 0) body.vertices[c.vertex] = c.position;
    if (c.uv >= 0) body.uvs[c.uv] = c.texcoord;
    if (c.normal >= 0) body.normals[c.normal] = c.direction;
    Scene scene;
    AddBodies(scene, {body});
    const Prepared p = Prepare(scene);
    EXPECT_EQ(p.result.message, c.error);
    EXPECT_EQ(p.ok, std::string(c.error).empty());
    if (!p.ok) continue;
    EXPECT_EQ(p.out.meshes[0].hasNormals, c.hasNormals);
    std::vector<std::string> warnings;
    if (*c.warning) warnings.push_back(c.warning);
    EXPECT_EQ(p.result.warnings, warnings);
    // Bounds cover the used positions only.
    EXPECT_EQ(p.out.meshes[0].max.x, 1);
    EXPECT_EQ(p.out.meshes[0].max.z, 0);
  }
}

TEST(ExportBodies, PointsEmptyAndNoneDropped) {
  BodyValues points;
  points.name = "\"cloud\"";
  points.vertices = {{-1, 5, 2}, {3, -4, 0}};
  BodyValues empty;
  empty.name = "\"nothing\"";
  BodyValues emptyFaces = Quad();
  emptyFaces.name = "\"no faces\"";
  emptyFaces.faces.clear();  // stored, zero entries: its vertices are points
  Scene scene;
  AddBodies(scene, {points, empty, emptyFaces});
  const Prepared p = Prepare(scene);
  ASSERT_TRUE(p.ok) << p.result.message;
  ASSERT_EQ(p.out.meshes.size(), 3u);
  EXPECT_EQ(p.out.meshes[0].kind, ExportMesh::Kind::kPoints);
  EXPECT_EQ(p.out.meshes[0].min.x, -1);
  EXPECT_EQ(p.out.meshes[0].min.y, -4);
  EXPECT_EQ(p.out.meshes[0].max.y, 5);
  EXPECT_EQ(p.out.meshes[1].kind, ExportMesh::Kind::kEmpty);
  EXPECT_EQ(p.out.meshes[1].name, "nothing");
  EXPECT_EQ(p.out.meshes[2].kind, ExportMesh::Kind::kPoints);

  scene.objects.items[0].vertices.items[1].y = -kInf;
  const Prepared bad = Prepare(scene);
  EXPECT_EQ(bad.result.message,
            "dork\\dork.gof: body \"cloud\": vertex 1 is not finite (3 -inf 0)");
}

constexpr struct {
  const char* name;
  const char* raw;
  const char* exported;
} kNameCases[] = {
    {"one pair of quotes dropped", "\"cube\"", "cube"},
    {"only one pair", "\"\"a\"\"", "\"a\""},
    {"unquoted kept", "cube", "cube"},
    {"lone quote kept", "\"", "\""},
    {"opening quote only kept", "\"cube", "\"cube"},
    {"valid UTF-8 kept", "\"w\xC3\xBCrfel \xE2\x82\xAC \xF0\x9F\x8E\xB2\"",
     "w\xC3\xBCrfel \xE2\x82\xAC \xF0\x9F\x8E\xB2"},
    {"invalid byte: whole name as Latin-1", "\"w\xFCrfel \xC3\xBC\"",
     "w\xC3\xBCrfel \xC3\x83\xC2\xBC"},
    {"overlong form is not UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
    {"surrogate is not UTF-8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
    {"cut sequence is not UTF-8", "a\xE2\x82", "a\xC3\xA2\xC2\x82"},
    {"overlong three-byte form is not UTF-8", "\xE0\x9F\xBF", "\xC3\xA0\xC2\x9F\xC2\xBF"},
    {"lowest three-byte form after E0 is UTF-8", "\xE0\xA0\x80", "\xE0\xA0\x80"},
    {"overlong four-byte form is not UTF-8", "\xF0\x8F\xBF\xBF",
     "\xC3\xB0\xC2\x8F\xC2\xBF\xC2\xBF"},
    {"above U+10FFFF is not UTF-8", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
    {"U+10FFFF is UTF-8", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {"ASCII where a third byte belongs is not UTF-8",
     "\xE2\x82"
     "A",
     "\xC3\xA2\xC2\x82"
     "A"},
    {"a lead where a fourth byte belongs is not UTF-8", "\xF0\x9F\x8E\xC3",
     "\xC3\xB0\xC2\x9F\xC2\x8E\xC3\x83"},
    {"second byte above the continuations is not UTF-8", "\xC3\xC3", "\xC3\x83\xC3\x83"},
};

TEST(ExportNames, MatchesTable) {
  for (const auto& c : kNameCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExportName(c.raw), c.exported);
  }
}

struct MaterialCase {
  const char* name;
  Material material;
  std::array<float, 4> baseColor;
  bool blend;
  float roughness;
  Color3 emissive;
  bool hasSpecular;
};

Material MaterialOf(Color3 diffuse, float opacity, float shininess, Color3 specular = {},
                    Color3 emission = {}) {
  Material m;
  m.name = "\"m\"";
  m.diffuse = diffuse;
  m.opacity = opacity;
  m.shininess = shininess;
  m.specular = specular;
  m.extraColor1 = emission;
  return m;
}

const MaterialCase kMaterialCases[] = {
    {"plain", MaterialOf({0.5f, 0.25f, 1}, 1, 0), {0.5f, 0.25f, 1, 1}, false, 1, {}, false},
    {"clamped into [0, 1]",
     MaterialOf({2, -1, kNan}, 7, 0, {}, {3, -2, 0.5f}),
     {1, 0, 0, 1},
     false,
     1,
     {1, 0, 0.5f},
     false},
    {"opacity below 1 blends",
     MaterialOf({1, 1, 1}, 0.999f, 0),
     {1, 1, 1, 0.999f},
     true,
     1,
     {},
     false},
    {"negative opacity is clear, and blends",
     MaterialOf({1, 1, 1}, -3, 0),
     {1, 1, 1, 0},
     true,
     1,
     {},
     false},
    {"shininess 2 gives roughness sqrt(1/2)",
     MaterialOf({}, 1, 2),
     {0, 0, 0, 1},
     false,
     0.70710677f,
     {},
     false},
    {"shininess 98 gives roughness sqrt(1/50)",
     MaterialOf({}, 1, 98),
     {0, 0, 0, 1},
     false,
     0.14142136f,
     {},
     false},
    {"negative shininess gives roughness 1",
     MaterialOf({}, 1, -5),
     {0, 0, 0, 1},
     false,
     1,
     {},
     false},
    {"NaN shininess gives roughness 1", MaterialOf({}, 1, kNan), {0, 0, 0, 1}, false, 1, {}, false},
    {"specular kept when not black",
     MaterialOf({}, 1, 0, {0, 0.01f, 0}),
     {0, 0, 0, 1},
     false,
     1,
     {},
     true},
    {"negative specular is black",
     MaterialOf({}, 1, 0, {-1, -1, 0}),
     {0, 0, 0, 1},
     false,
     1,
     {},
     false},
};

TEST(ExportMaterials, MatchesTable) {
  for (const MaterialCase& c : kMaterialCases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    AddBodies(scene, {});
    ASSERT_TRUE(scene.materials.Allocate(1));
    scene.materials.items[0] = c.material;
    const Prepared p = Prepare(scene);
    ASSERT_TRUE(p.ok) << p.result.message;
    const ExportMaterial& m = p.out.materials.at(0);
    EXPECT_EQ(m.name, "m");
    EXPECT_EQ(m.baseColor, c.baseColor);
    EXPECT_EQ(m.blend, c.blend);
    EXPECT_FLOAT_EQ(m.roughness, c.roughness);
    EXPECT_EQ(m.emissive.r, c.emissive.r);
    EXPECT_EQ(m.emissive.g, c.emissive.g);
    EXPECT_EQ(m.emissive.b, c.emissive.b);
    EXPECT_EQ(m.specular.has_value(), c.hasSpecular);
    EXPECT_TRUE(p.result.warnings.empty());
  }
}

struct AssignCase {
  const char* name;
  int materials;
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<int32_t> chosen;  // per body: cube, "ball \xff", cloud (points)
  const char* error;
};

const AssignCase kAssignCases[] = {
    {"one material: every triangle body", 1, {}, {0, 0, -1}, ""},
    {"one material, option agrees", 1, {{"\"cube\"", "\"m0\""}}, {0, 0, -1}, ""},
    {"two materials, no option: none", 2, {}, {-1, -1, -1}, ""},
    {"two materials, option per body", 2, {{"\"ball \xff\"", "\"m1\""}}, {-1, 1, -1}, ""},
    {"later option for the same body wins",
     2,
     {{"\"cube\"", "\"m1\""}, {"\"cube\"", "\"m0\""}},
     {0, -1, -1},
     ""},
    {"points never get one", 2, {{"cloud", "\"m1\""}}, {-1, -1, -1}, ""},
    {"unknown body",
     2,
     {{"\"cub\"", "\"m1\""}},
     {},
     "bodyMaterials[0]: the scene has no body \"cub\""},
    {"unknown material",
     2,
     {{"\"cube\"", "\"m2\""}},
     {},
     "bodyMaterials[0]: the scene has no material \"m2\""},
    {"names are matched as tokens, quotes and all",
     2,
     {{"cube", "\"m1\""}},
     {},
     "bodyMaterials[0]: the scene has no body cube"},
};

TEST(ExportMaterials, AssignmentMatchesTable) {
  for (const AssignCase& c : kAssignCases) {
    SCOPED_TRACE(c.name);
    BodyValues ball = Quad();
    ball.name = "\"ball \xff\"";
    BodyValues cloud;
    cloud.name = "cloud";
    cloud.vertices = {{0, 0, 0}};
    Scene scene;
    AddBodies(scene, {Quad(), ball, cloud});
    ASSERT_TRUE(scene.materials.Allocate(c.materials));
    for (int m = 0; m < c.materials; ++m) {
      scene.materials.items[m].name = "\"m" + std::to_string(m) + "\"";
    }
    ExportOptions options;
    options.bodyMaterials = c.options;
    const Prepared p = Prepare(scene, options);
    EXPECT_EQ(p.result.message, c.error);
    if (*c.error) {
      EXPECT_EQ(p.result.code, StatusCode::kBadOptions);
      continue;
    }
    ASSERT_TRUE(p.ok);
    std::vector<int32_t> chosen;
    for (const ExportMesh& mesh : p.out.meshes) chosen.push_back(mesh.material);
    EXPECT_EQ(chosen, c.chosen);
  }
}

TEST(ExportOptionsCheck, ContradictionsAreRefused) {
  const struct {
    std::array<TripleRole, 3> roles;
    int32_t base;
    const char* error;
  } cases[] = {
      {{N, N, U}, 0, "faces normal,normal,uv: position must appear exactly once"},
      {{P, P, U}, 0, "faces position,position,uv: position must appear exactly once"},
      {{P, U, U}, 0, "faces position,uv,uv: normal and uv may appear at most once each"},
      {{P, N, N}, 0, "faces position,normal,normal: normal and uv may appear at most once each"},
      {{P, static_cast<TripleRole>(4), X}, 0, "faces holds an unknown role"},
      {{P, X, X}, 0, ""},
      {{P, N, U}, 2, "indexBase must be 0 or 1, not 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Scene scene;
    AddBodies(scene, {Quad()});
    ExportOptions options;
    options.faces = c.roles;
    options.indexBase = c.base;
    const Prepared p = Prepare(scene, options);
    EXPECT_EQ(p.result.message, c.error);
    if (*c.error) {
      EXPECT_EQ(p.result.code, StatusCode::kBadOptions);
    }
  }
}

// Rotates v by the unit quaternion q = (x, y, z, w).
Vector3 Rotate(const std::array<float, 4>& q, Vector3 v) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  // v' = v + 2w (q x v) + 2 q x (q x v)
  const double cx = y * v.z - z * v.y, cy = z * v.x - x * v.z, cz = x * v.y - y * v.x;
  const double dx = y * cz - z * cy, dy = z * cx - x * cz, dz = x * cy - y * cx;
  return {float(v.x + 2 * (w * cx + dx)), float(v.y + 2 * (w * cy + dy)),
          float(v.z + 2 * (w * cz + dz))};
}

void ExpectNear(Vector3 a, Vector3 b) {
  EXPECT_NEAR(a.x, b.x, 1e-5);
  EXPECT_NEAR(a.y, b.y, 1e-5);
  EXPECT_NEAR(a.z, b.z, 1e-5);
}

TEST(ExportLights, DirectionsAndRejects) {
  const struct {
    const char* name;
    Vector3 direction;
    float brightness;
    const char* warning;  // empty: kept
  } cases[] = {
      {"down", {0, -2, 0}, 1.5f, ""},
      {"along -Z needs no turn", {0, 0, -1}, 1, ""},
      {"along +Z is a half turn", {0, 0, 3}, 1, ""},
      {"slanted", {-0.5f, -1, -0.25f}, 1, ""},
      {"negative brightness is dark", {1, 0, 0}, -2, ""},
      {"zero direction", {0, 0, 0}, 1, "light \"l\" left out: direction 0 0 0 has zero length"},
      {"NaN direction", {kNan, 0, 1}, 1, "light \"l\" left out: direction nan 0 1 is not finite"},
      {"infinite brightness",
       {0, 1, 0},
       kInf,
       "light \"l\" left out: brightness inf is not finite"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    AddBodies(scene, {});
    ASSERT_TRUE(scene.lights.Allocate(1));
    scene.lights.items[0].name = "l";
    scene.lights.items[0].direction = c.direction;
    scene.lights.items[0].brightness = c.brightness;
    scene.lights.items[0].rgb = {2, 0.5f, -1};
    const Prepared p = Prepare(scene);
    ASSERT_TRUE(p.ok);
    if (*c.warning) {
      EXPECT_TRUE(p.out.lights.empty());
      EXPECT_EQ(p.result.warnings, std::vector<std::string>{c.warning});
      continue;
    }
    ASSERT_EQ(p.out.lights.size(), 1u);
    const ExportLight& light = p.out.lights[0];
    EXPECT_TRUE(p.result.warnings.empty());
    EXPECT_EQ(light.intensity, std::max(c.brightness, 0.0f));
    EXPECT_EQ(light.color.r, 1);
    EXPECT_EQ(light.color.g, 0.5f);
    EXPECT_EQ(light.color.b, 0);
    const double length =
        std::sqrt(double(c.direction.x) * c.direction.x + double(c.direction.y) * c.direction.y +
                  double(c.direction.z) * c.direction.z);
    const Vector3 unit = {float(c.direction.x / length), float(c.direction.y / length),
                          float(c.direction.z / length)};
    ExpectNear(light.direction, unit);
    ExpectNear(Rotate(light.placement.rotation, {0, 0, -1}), unit);
  }
}

Camera CameraOf(float angle, float hither, float yon, Vector3 location, Vector3 aim, Vector3 up) {
  Camera camera;
  camera.viewAngle = angle;
  camera.hither = hither;
  camera.yon = yon;
  camera.location = location;
  camera.aim = aim;
  camera.lookupVector = up;
  return camera;
}

TEST(ExportCamera, RejectsWithTheValue) {
  const struct {
    const char* name;
    Camera camera;
    const char* warning;
  } cases[] = {
      {"view-angle 0", CameraOf(0, 0.1f, 10, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: view-angle 0 is not between 0 and 180 degrees"},
      {"view-angle 180", CameraOf(180, 0.1f, 10, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: view-angle 180 is not between 0 and 180 degrees"},
      {"view-angle NaN", CameraOf(kNan, 0.1f, 10, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: view-angle nan is not between 0 and 180 degrees"},
      {"hither 0", CameraOf(45, 0, 10, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: hither 0 is not a positive distance"},
      {"hither negative", CameraOf(45, -1, 10, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: hither -1 is not a positive distance"},
      {"yon equal to hither", CameraOf(45, 2, 2, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: yon 2 is not a finite distance beyond hither 2"},
      {"yon infinite", CameraOf(45, 2, kInf, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: yon inf is not a finite distance beyond hither 2"},
      {"aim equal to location", CameraOf(45, 0.1f, 10, {1, 2, 3}, {1, 2, 3}, {0, 1, 0}),
       "camera left out: aim 1 2 3 equals location"},
      {"up along the view", CameraOf(45, 0.1f, 10, {0, 5, 0}, {}, {0, 2, 0}),
       "camera left out: lookup-vector 0 2 0 is parallel to the view direction"},
      {"up against the view", CameraOf(45, 0.1f, 10, {0, 5, 0}, {}, {0, 1, 0}),
       "camera left out: lookup-vector 0 1 0 is parallel to the view direction"},
      {"up zero", CameraOf(45, 0.1f, 10, {0, 0, 5}, {}, {0, 0, 0}),
       "camera left out: lookup-vector 0 0 0 is parallel to the view direction"},
      {"location infinite", CameraOf(45, 0.1f, 10, {kInf, 0, 5}, {}, {0, 1, 0}),
       "camera left out: location inf 0 5 is not finite"},
      {"aim infinite", CameraOf(45, 0.1f, 10, {0, 0, 5}, {0, -kInf, 0}, {0, 1, 0}),
       "camera left out: aim 0 -inf 0 is not finite"},
      {"up not a number", CameraOf(45, 0.1f, 10, {0, 0, 5}, {}, {kNan, 1, 0}),
       "camera left out: lookup-vector nan 1 0 is not finite"},
      {"hither infinite", CameraOf(45, kInf, kInf, {0, 0, 5}, {}, {0, 1, 0}),
       "camera left out: hither inf is not a positive distance"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    AddBodies(scene, {});
    ASSERT_TRUE(scene.camera.Allocate(1));
    scene.camera.items[0] = c.camera;
    const Prepared p = Prepare(scene);
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.out.camera.has_value());
    EXPECT_EQ(p.result.warnings, std::vector<std::string>{c.warning});
  }
}

TEST(ExportCamera, LooksAtTheAim) {
  const Camera cases[] = {
      CameraOf(45, 0.1f, 1000, {4, 3, 6}, {0, 0.5f, 0}, {0, 1, 0}),
      CameraOf(90, 1, 2, {0, 0, 0}, {0, 0, -5}, {0, 1, 0}),   // glTF's own frame
      CameraOf(30, 1, 2, {0, 0, 0}, {0, 0, 5}, {0, 1, 0}),    // looking along +Z
      CameraOf(30, 1, 2, {0, 0, 0}, {0, -5, 0}, {0, 0, -1}),  // straight down
      CameraOf(30, 1, 2, {1, 1, 1}, {0, 0, 0}, {1, 1, 0}),    // up not perpendicular
      // Half turns, where the frame's trace is negative and the quaternion comes from its
      // largest diagonal term: about X, then about Z.
      CameraOf(30, 1, 2, {0, 0, 0}, {0, 0, 5}, {0, -1, 0}),
      CameraOf(30, 1, 2, {0, 0, 0}, {0, 0, -5}, {0, -1, 0}),
  };
  for (const Camera& camera : cases) {
    Scene scene;
    AddBodies(scene, {});
    ASSERT_TRUE(scene.camera.Allocate(1));
    scene.camera.items[0] = camera;
    const Prepared p = Prepare(scene);
    ASSERT_TRUE(p.out.camera.has_value());
    const ExportCamera& c = *p.out.camera;
    EXPECT_FLOAT_EQ(c.yfov, camera.viewAngle * 3.14159265f / 180);
    EXPECT_EQ(c.znear, camera.hither);
    EXPECT_EQ(c.zfar, camera.yon);
    const double dx = camera.aim.x - camera.location.x, dy = camera.aim.y - camera.location.y,
                 dz = camera.aim.z - camera.location.z;
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    const Vector3 forward = {float(dx / len), float(dy / len), float(dz / len)};
    ExpectNear(c.forward, forward);
    ExpectNear(Rotate(c.placement.rotation, {0, 0, -1}), forward);
    ExpectNear(Rotate(c.placement.rotation, {0, 1, 0}), c.up);
    // Up is the given up made perpendicular to the view: still on its side.
    const Vector3 u = camera.lookupVector;
    EXPECT_GT(c.up.x * u.x + c.up.y * u.y + c.up.z * u.z, 0);
    EXPECT_NEAR(c.up.x * forward.x + c.up.y * forward.y + c.up.z * forward.z, 0, 1e-6);
  }
}

// A wall standing on the ground of a scene whose up is +Z, lit from above and seen by a camera
// whose up is +Z: --up z stands it on glTF's ground (+Y up); without the option a note says so.
TEST(ExportUp, ZUpSceneTurnedOntoY) {
  Scene scene;
  BodyValues wall;
  wall.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 2}, {0, 0, 2}};
  wall.normals = {{0, -1, 0}};
  wall.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  wall.faces = {Tri({0, 1, 2}, {0, 0, 0}, {0, 1, 2}), Tri({0, 2, 3}, {0, 0, 0}, {0, 2, 3})};
  AddBodies(scene, {wall});
  ASSERT_TRUE(scene.lights.Allocate(1));
  scene.lights.items[0].direction = {0, 0, -3};
  scene.lights.items[0].brightness = 1;
  ASSERT_TRUE(scene.camera.Allocate(1));
  scene.camera.items[0] = CameraOf(45, 0.1f, 100, {5, -5, 1}, {0, 0, 1}, {0, 0, 1});
  const struct {
    const char* name;
    std::optional<UpAxis> up;
    Vector3 min, max, normal, light, eye, cameraUp;
    bool note;
  } cases[] = {
      {"not given",
       std::nullopt,
       {0, 0, 0},
       {1, 0, 2},
       {0, -1, 0},
       {0, 0, -1},
       {5, -5, 1},
       {0, 0, 1},
       true},
      {"y", UpAxis::kY, {0, 0, 0}, {1, 0, 2}, {0, -1, 0}, {0, 0, -1}, {5, -5, 1}, {0, 0, 1}, false},
      {"z", UpAxis::kZ, {0, 0, 0}, {1, 2, 0}, {0, 0, 1}, {0, -1, 0}, {5, 1, 5}, {0, 1, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExportOptions options;
    options.up = c.up;
    const Prepared p = Prepare(scene, options);
    ASSERT_TRUE(p.ok) << p.result.message;
    ASSERT_EQ(p.out.meshes.size(), 1u);
    const ExportMesh& mesh = p.out.meshes[0];
    ExpectNear(mesh.min, c.min);
    ExpectNear(mesh.max, c.max);
    // The positions the writer and the renderer read agree with the bounds.
    const Vector3& corner = mesh.body->vertices.items[2];
    ExpectNear(corner, c.max);
    ExpectNear(mesh.body->normals.items[0], c.normal);
    ASSERT_EQ(mesh.body->uvs.count, 4);
    EXPECT_EQ(mesh.body->uvs.items[2].v, 1);
    ASSERT_EQ(p.out.lights.size(), 1u);
    ExpectNear(p.out.lights[0].direction, c.light);
    ASSERT_TRUE(p.out.camera.has_value());
    ExpectNear(p.out.camera->placement.translation, c.eye);
    ExpectNear(p.out.camera->up, c.cameraUp);
    ExpectNear(Rotate(p.out.camera->placement.rotation, {0, 1, 0}), c.cameraUp);
    EXPECT_EQ(p.result.notes.size(), c.note ? 1u : 0u);
    if (c.note) {
      EXPECT_NE(p.result.notes[0].find(": up z turns"), std::string::npos);
    }
  }
  // The loaded scene itself is never turned.
  EXPECT_EQ(scene.objects.items[0].vertices.items[2].z, 2);
}

constexpr char kPngHead[] = "\x89PNG\r\n\x1a\n rest of it";
constexpr char kJpegHead[] = "\xff\xd8\xff\xe0 rest";

TEST(ExportTextures, OnlyImagesInsideTheFolder) {
  testing::TempDir dir;
  dir.Write("outside.png", std::string(kPngHead, sizeof kPngHead - 1));
  dir.Write("scene/tex/ok.png", std::string(kPngHead, sizeof kPngHead - 1));
  dir.Write("scene/photo.jpg", std::string(kJpegHead, sizeof kJpegHead - 1));
  dir.Write("scene/notes.png", "just text, named like an image");
  dir.Write("scene/short.png", "\x89PN");
  dir.Write("scene/cut.jpg", "\xFF\xD8");
  dir.Write("scene/second.jpg", std::string("\xFF\x00\xFF\xE0 not a JPEG", 15));
  dir.Write("scene/third.jpg", std::string("\xFF\xD8\x00\xE0 not a JPEG", 15));
  std::filesystem::create_symlink(dir.root() / "outside.png", dir.root() / "scene/link.png");
  std::filesystem::create_symlink("tex/ok.png", dir.root() / "scene/inside-link.png");
  std::filesystem::create_directories(dir.root() / "scene/folder.png");
  ASSERT_EQ(mkfifo((dir.root() / "scene/pipe.png").c_str(), 0600), 0);
  const std::string absolute = (dir.root() / "scene/tex/ok.png").string();

  const struct {
    const char* name;
    std::string texture;
    const char* mime;  // empty: left out with `why`
    const char* why;
  } cases[] = {
      {"png below the folder", "\"tex/ok.png\"", "image/png", ""},
      {"backslash separates too", "\"tex\\ok.png\"", "image/png", ""},
      {"jpeg", "\"photo.jpg\"", "image/jpeg", ""},
      {"link that stays inside", "\"inside-link.png\"", "image/png", ""},
      {"dot component is harmless", "\"./tex/./ok.png\"", "image/png", ""},
      {"absolute name", "\"" + absolute + "\"", "", "an absolute name"},
      {"backslash absolute name", "\"\\etc\\passwd\"", "", "an absolute name"},
      {"drive letter", "\"C:\\x.png\"", "", "an absolute name"},
      {"dot-dot", "\"../outside.png\"", "", "a \"..\" component"},
      {"dot-dot that comes back", "\"tex/../tex/ok.png\"", "", "a \"..\" component"},
      {"backslash dot-dot", "\"tex\\..\\..\\outside.png\"", "", "a \"..\" component"},
      {"symlink outside", "\"link.png\"", "",
       "a symbolic link leading outside the material file's folder"},
      {"not an image", "\"notes.png\"", "", "neither a PNG nor a JPEG image by its first bytes"},
      {"shorter than a signature", "\"short.png\"", "",
       "neither a PNG nor a JPEG image by its first bytes"},
      {"JPEG signature cut short", "\"cut.jpg\"", "",
       "neither a PNG nor a JPEG image by its first bytes"},
      {"JPEG signature, second byte wrong", "\"second.jpg\"", "",
       "neither a PNG nor a JPEG image by its first bytes"},
      {"JPEG signature, third byte wrong", "\"third.jpg\"", "",
       "neither a PNG nor a JPEG image by its first bytes"},
      {"a digit before a colon is no drive", "\"1:x.png\"", "",
       "no such file beside the material file"},
      {"missing", "\"gone.png\"", "", "no such file beside the material file"},
      {"a folder", "\"folder.png\"", "", "not a regular file"},
      {"a FIFO does not hang", "\"pipe.png\"", "", "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    AddBodies(scene, {});
    scene.materialFile =
        PathOnly(dir.root().string() + "/scene\\s.gmf", dir.root().string() + "/scene\\");
    ASSERT_TRUE(scene.materials.Allocate(1));
    scene.materials.items[0].name = "\"brick\"";
    scene.materials.items[0].textureName = c.texture;
    const Prepared p = Prepare(scene);
    ASSERT_TRUE(p.ok);
    const ExportMaterial& m = p.out.materials.at(0);
    EXPECT_EQ(m.textureMime, c.mime);
    if (*c.mime) {
      EXPECT_TRUE(p.result.warnings.empty());
      EXPECT_TRUE(std::filesystem::equivalent(m.texturePath, dir.root() / "scene/tex/ok.png") ||
                  std::filesystem::equivalent(m.texturePath, dir.root() / "scene/photo.jpg"));
    } else {
      EXPECT_TRUE(m.texturePath.empty());
      ASSERT_EQ(p.result.warnings.size(), 1u);
      EXPECT_EQ(p.result.warnings[0], "material \"brick\": texture \"" +
                                          c.texture.substr(1, c.texture.size() - 2) +
                                          "\" left out: " + c.why);
    }
  }
}

}  // namespace
}  // namespace sceneio
