// Material file parser (not yet written).
#include "parsers/material_parser.h"

namespace sceneio {
int32_t ParseMaterials(const FileBuffer&, CountedArray<Material>&) {
  return 0;
}
}  // namespace sceneio
