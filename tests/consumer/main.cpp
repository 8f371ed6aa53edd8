// scene-counts: loads the group file named on the command line and prints how much it holds,
// and how many meshes a glTF of it would hold.
#include <sceneio/export.h>
#include <sceneio/scene.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: scene-counts GROUP\n", stderr);
    return 2;
  }
  sceneio::Scene scene;
  const int32_t result = scene.Load(argv[1]);
  long vertices = 0;
  long faces = 0;
  for (const sceneio::Body& body : scene.objects) {
    vertices += body.vertices.count;
    faces += body.faces.count;
  }
  sceneio::ExportScene model;
  long meshes = 0;
  if (result == 0 && sceneio::PrepareExport(scene, {}, model).ok()) {
    for (const sceneio::ExportMesh& mesh : model.meshes) {
      meshes += mesh.kind != sceneio::ExportMesh::Kind::kEmpty ? 1 : 0;
    }
  }
  std::printf(
      "result %d lights %d cameras %d materials %d objects %d vertices %ld faces %ld meshes %ld\n",
      static_cast<int>(result), static_cast<int>(scene.lights.count),
      static_cast<int>(scene.camera.count), static_cast<int>(scene.materials.count),
      static_cast<int>(scene.objects.count), vertices, faces, meshes);
  return result == 0 ? 0 : 1;
}
