// The body-material assignments of a conversion: the group file's entries first, then each
// --material over them, per body.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "sceneio/export.h"
#include "sceneio/scene.h"
#include "sceneio/writer.h"

namespace sceneio {

// The group file's complete body-material entries, as name tokens, in file order. Read before
// the files' bytes are released.
std::vector<BodyMaterial> GroupBodyMaterials(const Scene& scene);

// For the export: the entries whose body and material the scene holds go before the --material
// entries of `options` (which come later and so win), and `pairOf` (the --material option of each
// entry) gets a mark for each that no option stands for. An entry naming what the scene lacks is
// left out with a warning: it is the file's fault, not the command line's.
inline constexpr size_t kFromGroupFile = static_cast<size_t>(-1);
void PutGroupBodyMaterialsFirst(const Scene& scene, const std::vector<BodyMaterial>& entries,
                                ExportOptions& options, std::vector<size_t>& pairOf,
                                std::vector<std::string>& warnings);

// For the five files: the entries as they are, with each typed assignment turned into the name
// tokens it stands for and put in place of the entries for the same body. False, with `error`,
// when a typed name matches no body or no material of the scene.
bool WrittenBodyMaterials(const Scene& scene, std::vector<BodyMaterial> entries,
                          const std::vector<std::pair<std::string, std::string>>& typed,
                          std::vector<BodyMaterial>& out, std::string& error);

}  // namespace sceneio
