// Which material each body wears. The format's files say nothing of it, so the group file
// carries it after its include entries, as `body-material BODY MATERIAL`; the load passes over
// those entries, and the export, the picture, the writer and the checker read them from here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// A group-file entry `body-material BODY MATERIAL`: every body of that name wears that
// material. Both are name tokens exactly as the object and material files hold them, quotes
// and all: {"\"cube\"", "\"brick\""}.
struct BodyMaterial {
  std::string body;
  std::string material;
};

// A body-material entry as the group file holds it.
struct BodyMaterialEntry {
  BodyMaterial names;
  int32_t offset = 0;     // of its "body-material" token in the group file
  bool complete = false;  // false when the file ends before both names
};

// The body-material entries of a group file's bytes, in file order, complete or not.
Status ReadBodyMaterials(std::string_view groupBytes, std::vector<BodyMaterialEntry>& entries);

// Appends the complete entries of the group file a load left in `scene`, in file order. They
// are read from the file's bytes, so call this before releasing them; a scene whose group file
// was not read has none.
Status GroupBodyMaterials(const Scene& scene, std::vector<BodyMaterial>& entries);

// Leaves out each entry naming a body or a material that `scene` lacks, with a warning in the
// status: the entries that are left can dress the bodies.
Status KeepKnownBodyMaterials(const Scene& scene, std::vector<BodyMaterial>& entries);

// kBadOptions for the first entry naming what `scene` lacks, its material asked first:
// "bodyMaterials[1]: the scene has no material \"m\"" (the wording the export uses).
Status CheckBodyMaterials(const Scene& scene, const std::vector<BodyMaterial>& entries);

// How the names a person types stand for name tokens. kShown: as scene-inspect shows them
// ("cube" for the token "cube" with its quotes, ball \xff for "ball" and a byte 0xff).
// kHeldOrShown also takes the token itself, quotes and all, and the token without its quotes;
// a token held exactly is preferred to any other.
enum class TypedNames : uint8_t { kShown, kHeldOrShown };

// The distinct body (material) name tokens of `scene` that `typed` stands for, in record order;
// empty when none.
std::vector<std::string> BodyTokens(const Scene& scene, std::string_view typed, TypedNames names);
std::vector<std::string> MaterialTokens(const Scene& scene, std::string_view typed,
                                        TypedNames names);

// Puts each of `over`, in order, in place of every entry of `entries` for the same body.
Status PutBodyMaterialsOver(std::vector<BodyMaterial>& entries,
                            const std::vector<BodyMaterial>& over);

}  // namespace sceneio
