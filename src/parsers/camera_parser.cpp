// Camera file parser: a header up to the first ")", then one block from "(" to ")" whose keywords
// fill the scene's single Camera.
#include <string_view>

#include "parsers/read_steps.h"
#include "sceneio/camera.h"

namespace sceneio {
namespace {

constexpr Keyword<Camera> kCameraKeywords[] = {
    {"view-angle", ReadInto<&Camera::viewAngle>},
    {"hither", ReadInto<&Camera::hither>},
    {"yon", ReadInto<&Camera::yon>},
    {"location", ReadInto<&Camera::location>},
    {"aim", ReadInto<&Camera::aim>},
    {"lookup-vector", ReadInto<&Camera::lookupVector>},
};

}  // namespace

int32_t ParseCamera(const FileBuffer& file, CountedArray<Camera>& camera, ParseObserver* observer) {
  TokenReader reader(file);
  std::string_view current;

  // Keywords in the header are passed over. Without both delimiters there is no camera block,
  // and no camera is made up.
  if (!SkipTo(reader, current, ")", {observer, "inside the camera header"}) ||
      !SkipTo(reader, current, "(", {observer, "before the camera block"})) {
    return 0;
  }

  if (!camera.Allocate(1)) return kOutOfMemory;
  // Once made, the camera stays with whatever the body held before the data ended.
  if (!ReadBlock(reader, current, ")", kCameraKeywords, camera.items[0],
                 {observer, "inside this camera block"})) {
    return 0;
  }
  // Nothing after the block's ")" is read.
  if (observer != nullptr) observer->Stopped(reader.Position(), {});
  return 0;
}

}  // namespace sceneio
