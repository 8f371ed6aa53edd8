// Object file parser (not yet written).
#include "parsers/object_parser.h"

namespace sceneio {
int32_t ParseObjects(const FileBuffer&, CountedArray<Body>&) {
  return 0;
}
}  // namespace sceneio
