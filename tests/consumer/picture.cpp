// scene-picture: draws an empty scene through the installed renderer and encodes it as PNG.
#include <sceneio/picture.h>

#include <cstdio>
#include <string>
#include <vector>

int main() {
  sceneio::ExportScene scene;
  sceneio::Picture picture;
  std::vector<uint8_t> png;
  sceneio::Status status = sceneio::RenderScene(scene, 16, 12, picture);
  if (status.ok()) status = sceneio::EncodePng(picture, png);
  if (!status.ok()) {
    std::fprintf(stderr, "%s\n", status.message.c_str());
    return 1;
  }
  std::printf("png %dx%d %s\n", picture.width, picture.height,
              png.size() > 8 && png[1] == 'P' ? "encoded" : "not encoded");
  return 0;
}
