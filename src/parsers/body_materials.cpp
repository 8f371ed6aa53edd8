// The body-material entries of a group file: `body-material BODY MATERIAL`, after the include
// entries. The load passes over them like every token that is no include entry.
#include "sceneio/body_materials.h"

#include <new>
#include <string_view>
#include <vector>

#include "io/token_reader.h"

namespace sceneio {

Status ReadBodyMaterials(std::string_view groupBytes, std::vector<BodyMaterialEntry>& entries) {
  Status status;
  try {
    TokenReader reader(groupBytes.data(), static_cast<int32_t>(groupBytes.size()));
    for (;;) {
      const std::string_view token = reader.Token();
      if (token.empty()) break;
      // An include entry's name is never a keyword: include "body-material" names a file.
      if (token == "include") {
        reader.Skip();
        continue;
      }
      if (token != "body-material") continue;
      BodyMaterialEntry entry;
      entry.offset = static_cast<int32_t>(token.data() - groupBytes.data());
      entry.names.body.assign(reader.Token());
      entry.names.material.assign(reader.Token());
      entry.complete = !entry.names.material.empty();
      entries.push_back(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory reading the body-material entries");
  }
  return status;
}

}  // namespace sceneio
