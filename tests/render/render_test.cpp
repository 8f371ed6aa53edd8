// Pictures of hand-built export models: camera, framing, lights, materials, normals and points.
#include "render/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "sceneio/picture.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

constexpr int32_t kWidth = 80;
constexpr int32_t kHeight = 60;

// The cube of the sample scene: side 2 round the origin, faces turned outwards.
constexpr Vector3 kCubeCorners[8] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                     {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
constexpr uint32_t kCubeFaces[12][3] = {{0, 3, 2}, {0, 2, 1}, {4, 5, 6}, {4, 6, 7},
                                        {0, 1, 5}, {0, 5, 4}, {3, 7, 6}, {3, 6, 2},
                                        {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};

template <typename T>
void Fill(CountedArray<T>& array, const std::vector<T>& values) {
  ASSERT_TRUE(array.Allocate(static_cast<int32_t>(values.size())));
  for (size_t i = 0; i < values.size(); ++i) array.items[i] = values[i];
}

// A body and its mesh; corners welded one per position (and the normal of the same number).
struct TestMesh {
  Body body;
  ExportMesh mesh;
};

void MakeCube(TestMesh& out) {
  Fill(out.body.vertices, {std::begin(kCubeCorners), std::end(kCubeCorners)});
  out.mesh.body = &out.body;
  out.mesh.kind = ExportMesh::Kind::kTriangles;
  for (int32_t i = 0; i < 8; ++i) out.mesh.vertices.push_back({i, -1, -1});
  for (const auto& face : kCubeFaces)
    out.mesh.indices.insert(out.mesh.indices.end(), face, face + 3);
}

ExportCamera CameraAt(Vector3 eye, Vector3 forward, Vector3 up) {
  ExportCamera camera;
  camera.yfov = static_cast<float>(M_PI / 4);
  camera.znear = 0.1f;
  camera.zfar = 100;
  camera.forward = forward;
  camera.up = up;
  camera.placement.translation = eye;
  return camera;
}

ExportLight LightTravelling(Vector3 direction, float intensity = 1) {
  ExportLight light;
  light.color = {1, 1, 1};
  light.intensity = intensity;
  light.direction = direction;
  return light;
}

const uint8_t* At(const Picture& picture, int32_t x, int32_t y) {
  return &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
}

bool Drawn(const Picture& picture, int32_t x, int32_t y) {
  const uint8_t* p = At(picture, x, y);
  return p[0] != kBackground[0] || p[1] != kBackground[1] || p[2] != kBackground[2];
}

int32_t DrawnCount(const Picture& picture) {
  int32_t count = 0;
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; ++x) count += Drawn(picture, x, y) ? 1 : 0;
  }
  return count;
}

Picture Render(const ExportScene& scene, std::vector<std::string>* notesOut = nullptr) {
  Picture picture;
  const Status drawn = RenderScene(scene, kWidth, kHeight, picture);
  EXPECT_TRUE(drawn.ok()) << drawn.message;
  EXPECT_EQ(picture.rgb.size(), static_cast<size_t>(kWidth * kHeight * 3));
  if (notesOut) *notesOut = drawn.notes;
  return picture;
}

TEST(RenderScene, CameraPlacementDecidesThePicture) {
  TestMesh cube;
  MakeCube(cube);
  ExportScene scene;
  scene.meshes.push_back(cube.mesh);
  scene.lights.push_back(LightTravelling({0, 0, -1}));
  scene.camera = CameraAt({0, 0, 6}, {0, 0, -1}, {0, 1, 0});
  const Picture close = Render(scene);
  EXPECT_TRUE(Drawn(close, 40, 30));
  EXPECT_FALSE(Drawn(close, 0, 0));

  scene.camera->placement.translation = {0, 0, 30};
  const Picture far = Render(scene);
  EXPECT_TRUE(Drawn(far, 40, 30));
  EXPECT_LT(DrawnCount(far) * 4, DrawnCount(close));

  scene.camera->placement.translation = {12, 0, 6};
  EXPECT_EQ(DrawnCount(Render(scene)), 0);

  // Up decides which way round the picture is: a cube moved up shows in the top half.
  for (Vector3& p : cube.body.vertices) p.y += 2;
  scene.meshes[0] = cube.mesh;
  scene.camera = CameraAt({0, 0, 10}, {0, 0, -1}, {0, 1, 0});
  const Picture upright = Render(scene);
  EXPECT_TRUE(Drawn(upright, 40, 15));
  EXPECT_FALSE(Drawn(upright, 40, 50));
  scene.camera->up = {0, -1, 0};
  const Picture turned = Render(scene);
  EXPECT_FALSE(Drawn(turned, 40, 15));
  EXPECT_TRUE(Drawn(turned, 40, 45));
}

TEST(RenderScene, WithoutCameraTheViewFramesAllGeometry) {
  TestMesh cube;
  MakeCube(cube);
  // Far from the origin and stretched, so a view that ignored the box would miss it.
  for (Vector3& p : cube.body.vertices) p = {p.x * 6 + 500, p.y * 3 - 70, p.z * 2 + 20};
  ExportScene scene;
  scene.meshes.push_back(cube.mesh);
  std::vector<std::string> notes;
  const Picture picture = Render(scene, &notes);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].rfind("no usable camera: the view frames the bounding box", 0), 0u)
      << notes[0];
  EXPECT_GT(DrawnCount(picture), kWidth * kHeight / 20);
  for (int32_t x = 0; x < kWidth; ++x) {
    EXPECT_FALSE(Drawn(picture, x, 0) || Drawn(picture, x, kHeight - 1)) << x;
  }
  for (int32_t y = 0; y < kHeight; ++y) {
    EXPECT_FALSE(Drawn(picture, 0, y) || Drawn(picture, kWidth - 1, y)) << y;
  }
}

TEST(RenderScene, WithNeitherCameraNorGeometryThePictureIsBackground) {
  ExportScene scene;
  ExportMesh empty;
  scene.meshes.push_back(empty);
  std::vector<std::string> notes;
  EXPECT_EQ(DrawnCount(Render(scene, &notes)), 0);
  EXPECT_FALSE(notes.empty());
}

// Seen from the front right: the +z side faces the light, the +x side is turned away from it
// and, with no ambient light, is black. A light of intensity pi shows a matte surface facing it
// in about its own colour.
TEST(RenderScene, LitSideTakesTheMaterialColourAndTheUnlitSideIsBlack) {
  TestMesh cube;
  MakeCube(cube);
  ExportScene scene;
  scene.meshes.push_back(cube.mesh);
  scene.lights.push_back(LightTravelling({0, 0, -1}, static_cast<float>(M_PI)));
  const float s = static_cast<float>(M_SQRT1_2);
  scene.camera = CameraAt({5, 0, 5}, {-s, 0, -s}, {0, 1, 0});
  const Picture grey = Render(scene);
  const uint8_t* lit = At(grey, 33, 30);   // +z side, left of the middle
  const uint8_t* dark = At(grey, 47, 30);  // +x side, right of the middle
  EXPECT_EQ(lit[0], lit[1]);
  EXPECT_EQ(lit[1], lit[2]);
  EXPECT_GT(lit[0], dark[0] + 60);
  EXPECT_EQ(dark[0], 0);
  EXPECT_TRUE(Drawn(grey, 47, 30));

  ExportMaterial redMaterial;
  redMaterial.baseColor = {0.8f, 0.1f, 0.1f, 1};
  scene.materials.push_back(redMaterial);
  scene.meshes[0].material = 0;
  const Picture red = Render(scene);
  const uint8_t* redLit = At(red, 33, 30);
  EXPECT_GT(redLit[0], redLit[1] + 100);
  EXPECT_EQ(redLit[1], redLit[2]);

  // Brightness scales the light.
  scene.lights[0].intensity = 0.25f;
  const Picture dimmer = Render(scene);
  EXPECT_LT(At(dimmer, 33, 30)[0], redLit[0]);
}

// One square facing the eye; its normals lean left at one side and right at the other.
TEST(RenderScene, FileNormalsShadeAcrossAFaceAndTheFaceNormalEvenly) {
  Body body;
  Fill(body.vertices, {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
  Fill(body.normals, {{-0.7f, 0, 0.7f}, {0.7f, 0, 0.7f}, {0.7f, 0, 0.7f}, {-0.7f, 0, 0.7f}});
  ExportMesh mesh;
  mesh.body = &body;
  mesh.kind = ExportMesh::Kind::kTriangles;
  for (int32_t i = 0; i < 4; ++i) mesh.vertices.push_back({i, i, -1});
  mesh.indices = {0, 1, 2, 0, 2, 3};
  ExportScene scene;
  // From the left; with intensity pi a surface facing it shows about its own colour.
  scene.lights.push_back(LightTravelling({1, 0, -1}, static_cast<float>(M_PI)));
  scene.camera = CameraAt({0, 0, 3}, {0, 0, -1}, {0, 1, 0});

  mesh.hasNormals = true;
  scene.meshes = {mesh};
  const Picture smooth = Render(scene);
  EXPECT_GT(At(smooth, 30, 30)[0], At(smooth, 50, 30)[0] + 30);

  mesh.hasNormals = false;
  scene.meshes = {mesh};
  const Picture flat = Render(scene);
  EXPECT_EQ(At(flat, 30, 30)[0], At(flat, 50, 30)[0]);
  EXPECT_EQ(At(flat, 40, 25)[0], At(flat, 40, 35)[0]);
}

// Any finite normal is a direction: one whose squared length overflows a float shades as the
// unit normal does, whether it comes from the file or from a large face.
TEST(RenderScene, NormalsOfAnyFiniteLengthShadeAsUnitOnes) {
  const struct {
    const char* name;
    float normalScale;    // of the file's normals
    float positionScale;  // of the square, the eye and the clip planes
    bool hasNormals;
  } kCases[] = {
      {"file normals of length 1e30", 1e30f, 1, true},
      {"face normal of a square 2e20 across", 1, 1e20f, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Picture pictures[2];
    for (int scaled = 0; scaled < 2; ++scaled) {
      const float n = scaled ? c.normalScale : 1;
      const float p = scaled ? c.positionScale : 1;
      Body body;
      Fill(body.vertices, {{-p, -p, 0}, {p, -p, 0}, {p, p, 0}, {-p, p, 0}});
      Fill(body.normals, {{-0.7f * n, 0, 0.7f * n},
                          {0.7f * n, 0, 0.7f * n},
                          {0.7f * n, 0, 0.7f * n},
                          {-0.7f * n, 0, 0.7f * n}});
      ExportMesh mesh;
      mesh.body = &body;
      mesh.kind = ExportMesh::Kind::kTriangles;
      mesh.hasNormals = c.hasNormals;
      for (int32_t i = 0; i < 4; ++i) mesh.vertices.push_back({i, i, -1});
      mesh.indices = {0, 1, 2, 0, 2, 3};
      ExportScene scene;
      scene.meshes = {mesh};
      scene.lights.push_back(LightTravelling({1, 0, -1}));
      scene.camera = CameraAt({0, 0, 3 * p}, {0, 0, -1}, {0, 1, 0});
      scene.camera->znear = 0.1f * p;
      scene.camera->zfar = 100 * p;
      pictures[scaled] = Render(scene);
    }
    for (const int32_t x : {30, 40, 50}) {
      EXPECT_TRUE(Drawn(pictures[1], x, 30));
      EXPECT_NEAR(At(pictures[1], x, 30)[0], At(pictures[0], x, 30)[0], 1) << x;
    }
  }
}

TEST(RenderScene, WithoutLightsTheEyeLights) {
  TestMesh cube;
  MakeCube(cube);
  ExportScene scene;
  scene.meshes.push_back(cube.mesh);
  scene.camera = CameraAt({0, 0, 6}, {0, 0, -1}, {0, 1, 0});
  std::vector<std::string> notes;
  // A light that travels nowhere lights nothing.
  scene.lights.push_back(LightTravelling({0, 0, 0}));
  const Picture picture = Render(scene, &notes);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "no usable light: the picture is lit from the eye");
  EXPECT_GT(At(picture, 40, 30)[0], 150);
}

TEST(RenderScene, BodyWithOnlyVerticesIsDrawnAsPoints) {
  Body body;
  Fill(body.vertices, {{-1, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  ExportMesh mesh;
  mesh.body = &body;
  mesh.kind = ExportMesh::Kind::kPoints;
  ExportScene scene;
  scene.meshes.push_back(mesh);
  scene.lights.push_back(LightTravelling({0, 0, -1}));
  scene.camera = CameraAt({0, 0, 8}, {0, 0, -1}, {0, 1, 0});
  EXPECT_EQ(DrawnCount(Render(scene)), 3 * kPointSize * kPointSize);
}

TEST(RenderScene, WithoutCameraTheViewFramesPointsToo) {
  Body body;
  Fill(body.vertices, {{500, -70, 20}, {510, -60, 25}, {505, -75, 30}});
  ExportMesh mesh;
  mesh.body = &body;
  mesh.kind = ExportMesh::Kind::kPoints;
  ExportScene scene;
  scene.meshes.push_back(mesh);
  std::vector<std::string> notes;
  const Picture picture = Render(scene, &notes);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].rfind("no usable camera: the view frames the bounding box", 0), 0u);
  EXPECT_GE(DrawnCount(picture), 2 * kPointSize * kPointSize);
}

// Only a mesh whose arrays disagree with its body: nothing else in the picture is lost, with
// the scene's camera or a framed view.
TEST(RenderScene, IndicesOutsideTheArraysAreNotFollowed) {
  TestMesh cube;
  MakeCube(cube);
  TestMesh broken;
  MakeCube(broken);
  broken.mesh.vertices[3].position = 8;
  TestMesh badIndex;
  MakeCube(badIndex);
  badIndex.mesh.indices[5] = 99;
  badIndex.mesh.hasNormals = true;  // and its body has no normals
  TestMesh badSecond;
  MakeCube(badSecond);
  badSecond.mesh.indices[4] = 99;
  TestMesh badFirst;
  MakeCube(badFirst);
  badFirst.mesh.indices[3] = 99;
  TestMesh badNormal;
  MakeCube(badNormal);
  Fill(badNormal.body.normals, {std::begin(kCubeCorners), std::end(kCubeCorners)});
  for (int32_t i = 0; i < 8; ++i) badNormal.mesh.vertices[i].normal = i;
  badNormal.mesh.vertices[5].normal = 8;
  badNormal.mesh.hasNormals = true;
  badNormal.mesh.material = 3;  // and the scene has no materials
  ExportMesh noBody;
  noBody.kind = ExportMesh::Kind::kTriangles;
  ExportScene scene;
  scene.meshes = {broken.mesh,    badIndex.mesh, badSecond.mesh, badFirst.mesh,
                  badNormal.mesh, noBody,        cube.mesh};
  scene.lights.push_back(LightTravelling({0, 0, -1}));
  scene.camera = CameraAt({0, 0, 6}, {0, 0, -1}, {0, 1, 0});
  EXPECT_TRUE(Drawn(Render(scene), 40, 30));
  scene.camera.reset();
  EXPECT_TRUE(Drawn(Render(scene), 40, 30));
}

TEST(RenderScene, SameSceneSamePngBytes) {
  TestMesh cube;
  MakeCube(cube);
  ExportScene scene;
  scene.meshes.push_back(cube.mesh);
  scene.lights.push_back(LightTravelling({-0.3f, -1, -0.5f}));
  std::vector<uint8_t> first, second;
  ASSERT_TRUE(EncodePng(Render(scene), first).ok());
  ASSERT_TRUE(EncodePng(Render(scene), second).ok());
  EXPECT_EQ(first, second);
  ASSERT_GT(first.size(), 8u);
  EXPECT_EQ(std::string(first.begin() + 1, first.begin() + 4), "PNG");
}

TEST(RenderScene, SidesNotPositiveAreRefused) {
  ExportScene scene;
  Picture picture;
  EXPECT_FALSE(RenderScene(scene, 0, 10, picture).ok());
  const Status refused = RenderScene(scene, 10, -1, picture);
  EXPECT_FALSE(refused.ok());
  EXPECT_FALSE(refused.message.empty());
}

constexpr struct {
  const char* name;
  const char* text;
  bool ok;
  int32_t width, height;
} kSizeCases[] = {
    {"the default", "800x600", true, 800, 600},
    {"smallest sides", "16x16", true, 16, 16},
    {"largest sides", "8192x8192", true, 8192, 8192},
    {"width one below the least", "15x600", false, 0, 0},
    {"height one below the least", "800x15", false, 0, 0},
    {"width one above the most", "8193x600", false, 0, 0},
    {"height one above the most", "800x8193", false, 0, 0},
    {"far too many digits", "99999999999999999999x600", false, 0, 0},
    {"capital X", "800X600", false, 0, 0},
    {"no height", "800x", false, 0, 0},
    {"no width", "x600", false, 0, 0},
    {"one number", "800", false, 0, 0},
    {"empty", "", false, 0, 0},
    {"a sign", "+800x600", false, 0, 0},
    {"a space", "800 x600", false, 0, 0},
    {"trailing text", "800x600px", false, 0, 0},
    {"a fraction", "800.5x600", false, 0, 0},
    {"three sides", "800x600x2", false, 0, 0},
};

TEST(ParsePictureSize, MatchesTable) {
  for (const auto& c : kSizeCases) {
    SCOPED_TRACE(c.name);
    int32_t width = 0;
    int32_t height = 0;
    EXPECT_EQ(ParsePictureSize(c.text, width, height), c.ok);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
}

// A rectangle facing +z at depth z, from (x0, y0) to (x1, y1); uvs (0, 0) at its near-left
// corner to (1, 1) at its far-right one, when `uvs`.
void MakeRectangle(TestMesh& out, float x0, float x1, float y0, float y1, float z) {
  Fill(out.body.vertices, {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}});
  out.mesh.body = &out.body;
  out.mesh.kind = ExportMesh::Kind::kTriangles;
  for (int32_t i = 0; i < 4; ++i) out.mesh.vertices.push_back({i, -1, -1});
  out.mesh.indices = {0, 1, 2, 0, 2, 3};
  out.mesh.min = {x0, y0, z};
  out.mesh.max = {x1, y1, z};
}

ExportMaterial Glowing(Color3 colour, float opacity) {
  ExportMaterial material;
  material.baseColor = {0, 0, 0, opacity};
  material.blend = opacity < 1;
  material.emissive = colour;
  return material;
}

// Seen through: a red pane behind a blue one (both half opaque), listed nearest first, and an
// opaque green pane in front of part of the blue one. Only the panes' own light shows (the
// scene's one light has no intensity).
TEST(RenderScene, SeeThroughSurfacesAreBlendedFarthestFirstOverTheOpaqueOnes) {
  TestMesh nearBlue, farRed, frontGreen;
  MakeRectangle(nearBlue, -1, 2, -1, 1, 1);
  MakeRectangle(farRed, -2.5f, 1, -1, 1, -1);
  MakeRectangle(frontGreen, 0.5f, 2.5f, -0.5f, 0.5f, 3);
  ExportScene scene;
  scene.materials = {Glowing({0, 0, 1}, 0.5f), Glowing({1, 0, 0}, 0.5f), Glowing({0, 1, 0}, 1)};
  nearBlue.mesh.material = 0;
  farRed.mesh.material = 1;
  frontGreen.mesh.material = 2;
  scene.meshes = {nearBlue.mesh, farRed.mesh, frontGreen.mesh};
  scene.lights.push_back(LightTravelling({0, 0, -1}, 0));
  scene.camera = CameraAt({0, 0, 6}, {0, 0, -1}, {0, 1, 0});
  const Picture picture = Render(scene);
  const uint8_t* both = At(picture, 40, 30);
  const uint8_t* redOnly = At(picture, 22, 30);
  const uint8_t* green = At(picture, 57, 30);
  // Blue was blended last: it holds half, red a quarter, the background the rest.
  EXPECT_GT(both[2], both[0] + 40);
  EXPECT_GT(both[0], both[1] + 40);
  // Half red over the background (48): the background shows through.
  EXPECT_NEAR(redOnly[0], 152, 1);
  EXPECT_NEAR(redOnly[1], 24, 1);
  EXPECT_EQ(redOnly[1], redOnly[2]);
  // Nothing behind an opaque surface is blended over it.
  EXPECT_EQ(green[0], 0);
  EXPECT_EQ(green[1], 255);
  EXPECT_EQ(green[2], 0);
}

// A floor from z = 0 to z = -20 under a light from above, its texture red in the near half of v
// and green in the far one. Perspective puts the change at z = -10, row 42, well below where
// interpolating v straight across the screen would.
TEST(RenderScene, TextureIsSampledWithPerspective) {
  testing::TempDir dir;
  Picture image;
  image.width = 4;
  image.height = 64;
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      image.rgb.insert(image.rgb.end(), {static_cast<uint8_t>(y < 32 ? 255 : 0),
                                         static_cast<uint8_t>(y < 32 ? 0 : 255), 0});
    }
  }
  std::vector<uint8_t> png;
  const Status encoded = EncodePng(image, png);
  ASSERT_TRUE(encoded.ok()) << encoded.message;
  const std::string texture = dir.Write("t.png", std::string(png.begin(), png.end())).string();
  dir.Write("broken.png", std::string(png.begin(), png.begin() + 40));

  TestMesh floor;
  Fill(floor.body.vertices, {{-5, -1, 0}, {5, -1, 0}, {5, -1, -20}, {-5, -1, -20}});
  Fill(floor.body.uvs, {Vector2{0, 0}, Vector2{1, 0}, Vector2{1, 1}, Vector2{0, 1}});
  floor.mesh.body = &floor.body;
  floor.mesh.kind = ExportMesh::Kind::kTriangles;
  for (int32_t i = 0; i < 4; ++i) floor.mesh.vertices.push_back({i, -1, i});
  floor.mesh.indices = {0, 1, 2, 0, 2, 3};
  floor.mesh.hasUvs = true;
  ExportMaterial material;
  material.baseColor = {1, 1, 1, 1};
  material.texturePath = texture;
  material.textureMime = "image/png";
  material.textureName = "t.png";
  material.name = "floor";
  ExportScene scene;
  scene.materials = {material};
  floor.mesh.material = 0;
  scene.meshes = {floor.mesh};
  scene.lights.push_back(LightTravelling({0, -1, 0}, static_cast<float>(M_PI)));
  scene.camera = CameraAt({0, 1, 2}, {0, 0, -1}, {0, 1, 0});
  std::vector<std::string> notes;
  const Picture picture = Render(scene, &notes);
  EXPECT_TRUE(notes.empty());
  EXPECT_GT(At(picture, 40, 45)[0], At(picture, 40, 45)[1] + 100);
  EXPECT_GT(At(picture, 40, 39)[1], At(picture, 40, 39)[0] + 100);

  // A texture that does not decode is left out, with a note; the floor is drawn white.
  scene.materials[0].texturePath = (dir.root() / "broken.png").string();
  const Picture untextured = Render(scene, &notes);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("texture \"t.png\" of material \"floor\""), std::string::npos);
  EXPECT_NE(notes[0].find("drawn without it"), std::string::npos);
  EXPECT_EQ(At(untextured, 40, 45)[0], At(untextured, 40, 45)[1]);
  EXPECT_TRUE(Drawn(untextured, 40, 45));
}

}  // namespace
}  // namespace sceneio
