// Light file parser (not yet written: the light list is passed over).
#include "parsers/light_parser.h"

namespace sceneio {
int32_t ParseLights(const FileBuffer&, CountedArray<Light>&) {
  return 0;
}
}  // namespace sceneio
