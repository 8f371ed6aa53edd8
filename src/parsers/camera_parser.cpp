// Camera file parser (not yet written).
#include "parsers/camera_parser.h"

namespace sceneio {
int32_t ParseCamera(const FileBuffer&, CountedArray<Camera>&) {
  return 0;
}
}  // namespace sceneio
