// A whole conversion: a scene loaded from its group file or brought in from a glTF or OBJ
// model, written as glTF 2.0, as a picture or as its five files again, each body dressed by the
// entries the scene came with and then by the names a person typed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sceneio/body_materials.h"
#include "sceneio/export.h"
#include "sceneio/import.h"
#include "sceneio/picture.h"
#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio {

// What an input is, by its ending in any letter case: a .gltf or .glb model, an .obj text mesh,
// else a group file.
enum class ConvertInput : uint8_t { kGroup, kGltf, kObj };
ConvertInput ConvertInputOf(const std::string& path);

// What an output is, by its ending (case as written). A new kind of output is one value here and
// one row in the table.
enum class ConvertOutput : uint8_t { kGltf, kGlb, kPng, kScene };

struct ConvertEnding {
  std::string_view ending;
  ConvertOutput kind;
};

inline constexpr ConvertEnding kConvertEndings[] = {
    {".gltf", ConvertOutput::kGltf},
    {".glb", ConvertOutput::kGlb},
    {".png", ConvertOutput::kPng},
    {".grp", ConvertOutput::kScene},
};

// The kind of output `path` names; false when its file name has no known ending after a stem.
bool ConvertOutputOf(const std::string& path, ConvertOutput& kind);
// The endings as a list for people: ".gltf, .glb, .png or .grp".
std::string ConvertEndingsText();

struct ConvertOptions {
  // How faces are read and which way is up (ExportOptions), for .gltf, .glb and .png.
  std::array<TripleRole, 3> faces = ExportOptions{}.faces;
  int32_t indexBase = 0;
  std::optional<UpAxis> up;
  // Body name -> material name as a person types them (see `names`), each over the entries the
  // scene came with, later ones winning. A body name stands for every body token shown so.
  std::vector<std::pair<std::string, std::string>> materials;
  TypedNames names = TypedNames::kShown;
  int32_t width = 800;  // of a picture
  int32_t height = 600;
  int32_t threads = 0;  // of a group file's load; 0: one per core
};

// What a conversion starts from: a loaded or imported scene and the body-material entries it
// came with (a group file's complete entries, or a model's own assignments). An imported
// model's images are kept in a temporary folder, which the export takes textures from and the
// destructor removes.
class ConvertSource {
 public:
  ConvertSource() = default;
  ConvertSource(const ConvertSource&) = delete;
  ConvertSource& operator=(const ConvertSource&) = delete;
  ~ConvertSource();

  const Scene& scene() const { return read_.scene; }
  const std::vector<BodyMaterial>& bodyMaterials() const { return bodyMaterials_; }

 private:
  friend Status ReadConvertSource(const std::string& input, int32_t threads, ConvertSource& source);
  ImportedScene read_;  // a group file's load leaves its bodyMaterials and images empty
  std::vector<BodyMaterial> bodyMaterials_;
  std::string imageFolder_;
};

// Loads a group file (`input` as LoadScene takes it: backslashes separate folders) with
// `threads`, or imports a model (ConvertInputOf). The message says what stopped it: "the load
// failed: ..." or "INPUT: ..." for a model; a model's warnings and notes come either way. The
// group file's bytes are given back once its entries are read.
Status ReadConvertSource(const std::string& input, int32_t threads, ConvertSource& source);

// Writes `scene` to `output` (a native path; ConvertOutputOf): `entries` that name what the
// scene lacks are left out with a warning (.gltf, .glb, .png) and `options.materials` go over
// them; a .grp carries them as its body-material entries and makes missing folders on the way.
// A typed name that matches nothing fails with kBadOptions "materials[I]: the scene has no
// body \"NAME\"" (or material), I its place in `options.materials`, at the point where the
// export asks for it; other messages name the option fields (faces, indexBase, up,
// bodyMaterials).
Status Convert(const Scene& scene, const std::vector<BodyMaterial>& entries,
               const std::string& output, const ConvertOptions& options);
Status Convert(const ConvertSource& source, const std::string& output,
               const ConvertOptions& options);
// ReadConvertSource, then Convert; the outcome of both in one status.
Status Convert(const std::string& input, const std::string& output, const ConvertOptions& options);

// The picture a .png output of the same scene, entries and options holds, in memory.
Status RenderConverted(const Scene& scene, const std::vector<BodyMaterial>& entries,
                       const ConvertOptions& options, Picture& picture);

}  // namespace sceneio
